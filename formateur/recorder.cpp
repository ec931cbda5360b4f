#include "recorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

qint64 nanoseconds(const timespec& t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

}  // namespace

TrialRecorder::TrialRecorder(const QString& workFolder, JournalFile& journal, QObject* parent)
    : QObject(parent),
      workFolder_(workFolder),
      dataFolder_(QDir(workFolder).filePath("data")),
      logPath_(QDir(dataFolder_).filePath("config_outillage.dat")),
      journal_(journal),
      session_(journal.lastSession().toInt()) {
    if (!journal.trials().empty()) lastCount_ = journal.trials().back().count;
    newSessionDue_ = journal.trials().empty();
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TrialRecorder::scan);
    watcher_.addPath(workFolder_);
    present_ = QFileInfo(dataFolder_).isDir();
    if (present_) watcher_.addPath(dataFolder_);
    settle();
}

TrialRecorder::Stamp TrialRecorder::stampOf(const QString& path) {
    struct stat s {};
    if (::stat(QFile::encodeName(path).constData(), &s) != 0) return {};
    return {s.st_ino, nanoseconds(s.st_ctim), nanoseconds(s.st_mtim)};
}

void TrialRecorder::settle() {
    lastLog_ = stampOf(logPath_);
    QString error;
    if (auto account = readAccount(dataFolder_, &error)) {
        // A fresh start of the simulator, or an account that went back,
        // cannot continue the session the journal ends with.
        if (account->isFreshStart() || account->count < lastCount_) newSessionDue_ = true;
        lastCount_ = account->count;
    }
}

void TrialRecorder::scan() {
    const bool present = QFileInfo(dataFolder_).isDir();
    if (present != present_) {
        present_ = present;
        if (present) {
            watcher_.addPath(dataFolder_);
            settle();
        }
        emit dataFolderChanged(present);
        return;
    }
    if (!present) return;
    // A folder renamed away and back is watched anew.
    if (!watcher_.directories().contains(dataFolder_)) watcher_.addPath(dataFolder_);

    QString error;
    auto account = readAccount(dataFolder_, &error);
    if (account && account->isFreshStart() && lastCount_ != 0) {
        newSessionDue_ = true;
        lastCount_ = 0;
    }
    // A log replaced while it was being read is read again in its new version.
    for (Stamp stamp = stampOf(logPath_); stamp.inode != 0 && !(stamp == lastLog_);
         stamp = stampOf(logPath_)) {
        lastLog_ = stamp;
        record();
    }
}

void TrialRecorder::record() {
    Trial trial;
    QString error;
    QFile log(logPath_);
    if (!log.open(QIODevice::ReadOnly)) return;  // replaced meanwhile: the loop reads it again
    const QString text = QString::fromLatin1(log.readAll());
    auto account = readAccount(dataFolder_, &error);
    if (!parseSettingsLog(text, trial, &error) || !account) {
        emit problem(QStringLiteral("Essai non enregistré : %1.").arg(error));
        return;
    }
    if (account->count < lastCount_) newSessionDue_ = true;
    if (newSessionDue_) {
        session_ = std::max(session_, journal_.lastSession().toInt()) + 1;
        lastCount_ = 0;
        newSessionDue_ = false;
    }
    trial.time = QDateTime::fromMSecsSinceEpoch(lastLog_.modified / 1'000'000);
    trial.session = QString::number(session_);
    trial.tooling = account->tooling;
    trial.adjustment = account->adjustment;
    trial.count = account->count;
    trial.charged = account->count > lastCount_;
    lastCount_ = account->count;
    if (!journal_.append(trial, &error)) {
        emit problem(error);
        return;
    }
    emit recorded(trial);
}
