#include "station_recording.h"

#include "exercise_window.h"
#include "facts.h"
#include "file_safety.h"
#include "host.h"
#include "main.h"
#include "replication.h"
#include "station_journal.h"
#include "station_settings.h"
#include "var_.h"
#include "worker_thread.h"

#include <QDateTime>
#include <QDir>
#include <QUuid>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Rows kept in memory while the journal cannot take them: a day's trials.
constexpr std::size_t kMaxWaiting = 100'000;

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

// Writes the trials' rows in their order, from the thread of its own it lives
// in, so that a trial never waits for the journal to reach the disk. It opens
// the journal, and starts the replication to the class database once it is.
// Rows the journal cannot take wait in memory and go in with the next row
// that can be written.
class JournalWriter : public QObject {
public:
    // notes: in the window's thread, for what the replication finds;
    // exercise: where the class's running exercise is kept for the trials.
    JournalWriter(QString journalPath, QString iniPath, QString installationPath, const QObject* notes,
                  std::atomic<int>& exercise)
        : journal_(std::move(journalPath)), iniPath_(std::move(iniPath)),
          installationPath_(std::move(installationPath)), notes_(notes), exercise_(exercise) {}

    void open() {
        StationSettings settings = StationSettings::load(iniPath_);
        if (!settings.problem.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(settings.problem));
        installation_ = installationId(installationPath_);
        QString error;
        if (!journal_.open(&error, settings.poste)) noteFailure(error);
        if (settings.serveur.isEmpty()) return;
        replication_ = std::make_unique<Replication>(journal_.path(), settings.serveur, iniPath_, installation_,
                                                     QDir::current().absoluteFilePath(facts::kCoefficientFolder));
        // What the worker finds shows along the window's bottom: a trainee
        // sees at once that the class does not get the trials.
        QObject::connect(
            replication_.get(), &Replication::statusChanged, notes_,
            [](bool reachable, const QString& message) {
                mclShowNote(message.isEmpty() ? QString()
                            : reachable ? QStringLiteral("Classe : %1").arg(message)
                                        : QStringLiteral("Classe : les essais attendent sur ce poste. %1").arg(message));
            },
            Qt::QueuedConnection);
        // Told once the exercise's model is in poly/, so a trial never waits for the server.
        QObject::connect(
            replication_.get(), &Replication::exerciseChanged, replication_.get(),
            [this](const ClassExercise& exercise, int) { exercise_ = exercise.number; }, Qt::DirectConnection);
        QObject::connect(replication_.get(), &Replication::exerciseChanged, notes_, &showClassExercise,
                         Qt::QueuedConnection);
        replication_->start();
    }

    // The rows that arrive while one is written go in together.
    void add(JournalRow row) {
        if (arrived_.empty()) QMetaObject::invokeMethod(this, [this] { write(); }, Qt::QueuedConnection);
        arrived_.push_back(std::move(row));
    }

    void write() {
        if (arrived_.empty()) return;
        // The station and trainee as the console last set them.
        const StationSettings settings = StationSettings::load(iniPath_);
        for (JournalRow& row : arrived_) {
            row.station = settings.poste;
            row.trainee = settings.stagiaire;
            row.installation = installation_;
            if (waiting_.size() < kMaxWaiting) waiting_.push_back(std::move(row));
        }
        arrived_.clear();
        if (append(settings.poste) && replication_) replication_->rowsAppended();
    }

private:
    bool append(const QString& poste) {
        QString error;
        if (!journal_.isOpen() && !journal_.open(&error, poste)) return noteFailure(error);
        if (!journal_.append(waiting_, &error)) {
            // The file may have been replaced or repaired meanwhile: open it anew next time.
            journal_.close();
            return noteFailure(error);
        }
        if (failing_)
            std::fprintf(stderr, "Journal des essais : enregistrement repris, %zu essai(s) écrit(s).\n",
                         waiting_.size());
        failing_ = false;
        waiting_.clear();
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

    StationJournal journal_;
    const QString iniPath_, installationPath_;
    const QObject* notes_;
    std::atomic<int>& exercise_;
    QString installation_;
    std::unique_ptr<Replication> replication_;
    std::vector<JournalRow> arrived_, waiting_;
    bool failing_ = false;
};

QString dataFile(const char* name) {
    return QDir(QDir::current().absoluteFilePath(facts::kDataFolder)).filePath(name);
}

// The journal is opened in its thread, before any row; the rows queued when
// the session ends are written before it does.
struct Recording {
    Recording() {
        writer.post([](JournalWriter& w) { w.open(); });
    }
    ~Recording() {
        writer.call([](JournalWriter& w) { w.write(); });
    }

    QString session = QUuid::createUuid().toString(QUuid::WithoutBraces);
    int number = 0;
    QObject notes;  // in the window's thread, for the worker's findings
    std::atomic<int> exercise{0};
    WorkerThread<JournalWriter> writer{new JournalWriter(dataFile(facts::kJournalFile),
                                                         dataFile(facts::kStationSettingsFile),
                                                         dataFile(facts::kInstallationFile), &notes, exercise)};
};
std::unique_ptr<Recording> recording;

}  // namespace

void startStationRecording() {
    stopStationRecording();
    recording = std::make_unique<Recording>();
}

void awaitStationRecording() {
    if (recording) recording->writer.call([](JournalWriter&) {});
}

void recordTrial(const std::array<mxArray, 5>& ValR, const mxArray& A1, const mxArray& A2, const mxArray& H,
                 double countBefore) {
    if (!recording) return;
    JournalRow row;
    row.session = recording->session;
    row.number = ++recording->number;
    row.recorded = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    for (std::size_t i = 0; i < row.setting.size(); ++i) row.setting[i] = ValR[i].at(0);
    row.A1 = A1.at(0), row.A2 = A2.at(0), row.H = H.at(0);
    row.tooling = mclVg(CoutO).at(0);
    row.adjustment = mclVg(CoutR).at(0);
    const double count = mclVg(Nb_essai).at(0);
    row.count = int(count);
    row.charged = count > countBefore;
    row.exercise = recording->exercise;
    if (row.exercise != 0) countTrialInExercise(row.exercise);
    row.fingerprint = QString::fromStdString(evaluatedCoefficientsFingerprint());
    recording->writer.post([row](JournalWriter& w) { w.add(row); });
}

void stopStationRecording() { recording.reset(); }
