#include "station_recording.h"

#include "facts.h"
#include "file_safety.h"
#include "host.h"
#include "main.h"
#include "replication.h"
#include "station_journal.h"
#include "station_settings.h"

#include <QDateTime>
#include <QDir>
#include <QUuid>

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Rows kept in memory while the journal cannot take them: a day's trials.
constexpr std::size_t kMaxWaiting = 100'000;

// Writes the trials' rows from its own thread, in their order, so that a
// trial never waits for the journal to reach the disk. The journal is opened
// there, before the session starts, and the replication to the class
// database started from there once it is. Rows the journal cannot take wait in memory and go in with the next
// row that can be written; the rows queued when the session ends are written
// before it does.
// The installation's identifier from its file, made when missing or damaged.
// Should the file not be writable, this session still has one of its own.
QString installationId(const QString& path) {
    const auto read = file_safety::readRegularFile(path.toStdString());
    const QUuid kept(QString::fromStdString(read.content).trimmed());
    if (read.status == file_safety::ReadStatus::Read && !kept.isNull()) return kept.toString(QUuid::WithoutBraces);
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    file_safety::replaceFile(path.toStdString(), made.toStdString() + "\n");
    return made;
}

class JournalWriter {
public:
    JournalWriter(QString journalPath, QString iniPath, QString installationPath)
        : journalPath_(std::move(journalPath)), iniPath_(std::move(iniPath)),
          installationPath_(std::move(installationPath)), thread_([this] { run(); }) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return opened_; });
    }

    ~JournalWriter() {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    void add(JournalRow row) {
        {
            std::lock_guard lock(mutex_);
            queued_.push_back(std::move(row));
        }
        wake_.notify_one();
    }

private:
    void run() {
        StationJournal journal(journalPath_);
        StationSettings settings = StationSettings::load(iniPath_);
        if (!settings.problem.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(settings.problem));
        const QString installation = installationId(installationPath_);
        QString error;
        if (!journal.open(&error, settings.poste)) noteFailure(error);
        std::unique_ptr<Replication> replication;
        if (!settings.serveur.isEmpty()) {
            replication = std::make_unique<Replication>(journal.path(), settings.serveur, iniPath_, installation);
            // What the worker finds shows along the window's bottom: a
            // trainee sees at once that the class does not get the trials.
            QObject::connect(
                replication.get(), &Replication::statusChanged, &notes_,
                [](bool reachable, const QString& message) {
                    mclShowNote(message.isEmpty() ? QString()
                                : reachable ? QStringLiteral("Classe : %1").arg(message)
                                            : QStringLiteral("Classe : les essais attendent sur ce poste. %1").arg(message));
                },
                Qt::QueuedConnection);
            replication->start();
        }
        {
            std::lock_guard lock(mutex_);
            opened_ = true;
        }
        wake_.notify_all();
        std::vector<JournalRow> waiting;
        for (bool last = false; !last;) {
            std::vector<JournalRow> arrived;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return ending_ || !queued_.empty(); });
                arrived.swap(queued_);
                last = ending_;
            }
            if (arrived.empty()) continue;
            // The station and trainee as the console last set them.
            settings = StationSettings::load(iniPath_);
            for (JournalRow& row : arrived) {
                row.station = settings.poste;
                row.trainee = settings.stagiaire;
                row.installation = installation;
                if (waiting.size() < kMaxWaiting) waiting.push_back(std::move(row));
            }
            if (write(journal, waiting, settings.poste) && replication) replication->rowsAppended();
        }
    }

    bool write(StationJournal& journal, std::vector<JournalRow>& waiting, const QString& poste) {
        QString error;
        if (!journal.isOpen() && !journal.open(&error, poste)) return noteFailure(error);
        if (!journal.append(waiting, &error)) {
            // The file may have been replaced or repaired meanwhile: open it anew next time.
            journal.close();
            return noteFailure(error);
        }
        if (failing_)
            std::fprintf(stderr, "Journal des essais : enregistrement repris, %zu essai(s) écrit(s).\n",
                         waiting.size());
        failing_ = false;
        waiting.clear();
        return true;
    }

    // A failure is told once, and so is the recovery.
    bool noteFailure(const QString& error) {
        if (!failing_)
            std::fprintf(stderr, "Journal des essais : %s. Les essais suivants y seront écrits dès que possible.\n",
                         qPrintable(error));
        failing_ = true;
        return false;
    }

    const QString journalPath_, iniPath_, installationPath_;
    bool failing_ = false;  // the writer thread's own
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<JournalRow> queued_;
    bool opened_ = false, ending_ = false;
    QObject notes_;       // in the window's thread, for the worker's findings
    std::thread thread_;  // last: it starts once the rest is ready
};

QString dataFile(const char* name) {
    return QDir(QDir::current().absoluteFilePath(facts::kDataFolder)).filePath(name);
}

struct Recording {
    QString session = QUuid::createUuid().toString(QUuid::WithoutBraces);
    int numero = 0;
    JournalWriter writer{dataFile(facts::kJournalFile), dataFile(facts::kStationSettingsFile),
                         dataFile(facts::kInstallationFile)};
};
std::unique_ptr<Recording> recording;

}  // namespace

void startStationRecording() {
    stopStationRecording();
    recording = std::make_unique<Recording>();
}

void recordTrial(const std::array<mxArray, 5>& ValR, const mxArray& A1, const mxArray& A2, const mxArray& H,
                 double countBefore) {
    if (!recording) return;
    JournalRow row;
    row.session = recording->session;
    row.number = ++recording->numero;
    row.recorded = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    for (std::size_t i = 0; i < row.setting.size(); ++i) row.setting[i] = ValR[i].at(0);
    row.A1 = A1.at(0), row.A2 = A2.at(0), row.H = H.at(0);
    row.tooling = mclVg(CoutO).at(0);
    row.adjustment = mclVg(CoutR).at(0);
    const double count = mclVg(Nb_essai).at(0);
    row.count = int(count);
    row.charged = count > countBefore;
    recording->writer.add(std::move(row));
}

void stopStationRecording() { recording.reset(); }
