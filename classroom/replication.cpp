#include "replication.h"

#include "class_database.h"
#include "class_exercise.h"
#include "coefficient_history.h"
#include "postgresql_client.h"
#include "station_journal.h"
#include "station_settings.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTimer>


#include <optional>

namespace {

// Rows a transaction on the class database.
constexpr int kBatch = 200;
// A look at the journal now and then, should a wake-up be missed.
constexpr int kIdlePollMs = 5'000;
// The server's channel for the starts and ends of exercises.
const QString kExerciseChannel = QStringLiteral("exercices");

PGcancel* cancelHandle(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "PGconn*") != 0) return nullptr;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    // Connected: the driver has loaded the library already.
    return connection ? postgresqlClient()->getCancel(connection) : nullptr;
}

}  // namespace

// Lives in the replication thread, with its own connections.
class ReplicationWorker : public QObject {
public:
    explicit ReplicationWorker(Replication& owner)
        : owner_(owner), journal_(owner.journalPath_), connection_(QStringLiteral("replication-%1").arg(quintptr(this))),
          timer_(this) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { pass(); });
    }
    ~ReplicationWorker() override {
        closeConnection();
        QSqlDatabase::removeDatabase(connection_);
    }

    // The first pass, in the thread that keeps the connection.
    void start() {
        useServer(owner_.serveur_);
        pass();
    }

    // New rows: sent at once unless the server is being waited for.
    void soon() {
        if (retryMs_ == 0) pass();
    }

    // The last pass: what waits is sent, the station says it closes, and the thread ends.
    void finish() {
        finishing_ = true;
        pass();
    }

private:
    void pass() {
        timer_.stop();
        if (owner_.stopping_) return;
        sendWaitingRows();
        if (finishing_) QThread::currentThread()->quit();
    }

    // A server named anew in classe.ini is taken up without a restart;
    // with none named, the station goes on with the one it had.
    void useServer(const QString& serveur) {
        if (serveur.isEmpty() || serveur == serveur_) return;
        closeConnection();
        if (QSqlDatabase::contains(connection_)) QSqlDatabase::removeDatabase(connection_);
        serveur_ = serveur;
        server_ = ClassServer::parse(serveur, &serverProblem_);
        if (!server_) return;
        const QSqlDatabase db = server_->addConnection(connection_);
        QObject::connect(db.driver(), &QSqlDriver::notification, this, [this](const QString& channel) {
            if (channel == kExerciseChannel) soon();
        });
    }

    void sendWaitingRows() {
        QString error;
        if (!journal_.isOpen() && !journal_.open(&error, {}, false)) return retryLater();
        const StationSettings settings = StationSettings::load(owner_.settingsPath_);
        useServer(settings.serveur);
        if (!server_) {
            report(false, serverProblem_);
            return retryLater();  // until the settings are mended
        }
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (!db.isOpen()) {
            if (!openClassDatabase(db, *server_, &error)) {
                report(false, error);
                return retryLater();
            }
            owner_.setCancel(cancelHandle(db));
            // Without it the exercise is found at the next pass.
            db.driver()->subscribeToNotification(kExerciseChannel);
            // Cut off, the station may have missed a start or an end, and its
            // clock counted alone: the simulator is told the exercise anew.
            told_.reset();
        }
        // A name the class would refuse is mended on the station first; its rows wait meanwhile.
        if (const QString problem = stationNamesProblem(settings.poste, settings.stagiaire); !problem.isEmpty()) {
            report(false, problem + QStringLiteral(" Corrigez-le dans l'onglet « Classe » de la console : les "
                                                   "essais attendent ici."));
            return retryLater();
        }
        QString setAside;
        for (;;) {
            if (owner_.stopping_) return;
            const auto rows = journal_.unsent(kBatch, &error);
            if (!rows) return retryLater();  // the journal is busy: later
            if (rows->empty()) break;
            bool refused = false;
            if (sendRows(db, *rows, &error, &refused)) {
                // Should the mark be lost, the rows are sent again, and the
                // class database keeps the copy it has.
                journal_.markSent(*rows, &error);
                continue;
            }
            if (!refused || !sendOneByOne(db, *rows, &setAside)) {
                closeConnection();
                report(false, QStringLiteral("Le serveur de classe %1 n'a pas pris les essais : %2").arg(server_->label(), error));
                return retryLater();
            }
        }
        signOfLife(db, settings.poste, !finishing_);
        takeUpExercise(db);
        report(true, QStringList{setAside, exerciseProblem_}.join(' ').trimmed());
        retryMs_ = 0;
        timer_.start(kIdlePollMs);
    }

    // A row whose values the server refuses for good would hold every later
    // row: the rows go one at a time, and the refused ones are set aside in
    // the journal. False when a row could not be sent for another reason.
    bool sendOneByOne(QSqlDatabase& db, const std::vector<JournalEntry>& rows, QString* setAside) {
        for (const JournalEntry& entry : rows) {
            QString error;
            bool refused = false;
            if (sendRows(db, {entry}, &error, &refused)) {
                journal_.markSent({entry}, &error);
            } else if (refused && journal_.markSetAside(entry, &error)) {
                *setAside = QStringLiteral("L'essai n° %1 de la session du %2 est gardé sur ce poste, non envoyé : %3")
                                .arg(entry.row.number)
                                .arg(entry.row.recorded.left(10), error);
            } else {
                return false;
            }
        }
        return true;
    }

    // A class database without signs of life (an older one) refuses it: the rows are what matters.
    void signOfLife(QSqlDatabase& db, const QString& poste, bool running) {
        if (running && lastSign_.isValid() && lastSign_.elapsed() < Replication::kSignOfLifeMs) return;
        QSqlQuery q(db);
        q.prepare("SELECT signale_poste(?, ?, ?)");
        q.addBindValue(poste);
        q.addBindValue(owner_.installation_);
        q.addBindValue(running);
        if (q.exec()) lastSign_.start();
    }

    // Puts the running exercise's model in poly/ once, keeps in the journal
    // the exercise the station is in now, then tells the simulator; an
    // exercise whose model cannot be written is said, and its trials
    // evaluate what poly/ holds.
    void takeUpExercise(QSqlDatabase& db) {
        std::optional<ClassExercise> running;
        QString error;
        if (!readRunningExercise(db, &running, &error)) return;  // at the next pass
        const int number = running ? running->number : 0;
        if (told_ == number) return;
        const std::optional<int> applied = journal_.appliedExercise(&error);
        if (!applied) return;
        if (!running) {
            exerciseProblem_.clear();
        } else if (*applied != number) {
            // The model's files are read only to be put in poly/, once an exercise.
            const std::optional<ClassExercise> withModel = readExercise(db, number, &error);
            if (!withModel) return;  // at the next pass
            const file_safety::WriteResult written =
                bending::installCoefficientFiles(owner_.polyFolder_.toStdString(), withModel->model);
            exerciseProblem_ = written.ok() ? QString()
                               : QStringLiteral("Les coefficients de l'exercice n° %1 n'ont pas pu être mis dans "
                                                "poly/ : %2 Les essais évaluent ceux qui y sont.")
                                     .arg(number)
                                     .arg(QString::fromStdString(written.error));
            if (!journal_.writeAppliedExercise(number, &error)) return;
        }
        CurrentExercise current;
        std::optional<int> made = 0;
        if (running) {
            made = journal_.trialsInExercise(number, &error);
            current = {number, running->exam, std::nullopt};
            // The server's clock says how long is left; the station counts it on its own.
            if (running->secondsLeft)
                current.end = QDateTime::currentDateTimeUtc().addMSecs(qint64(*running->secondsLeft * 1000));
        }
        if (!made || !journal_.writeCurrentExercise(current, &error)) return;
        told_ = number;
        emit owner_.exerciseChanged(running.value_or(ClassExercise{}), *made);
    }

    void retryLater() {
        retryMs_ = retryMs_ == 0 ? 1'000 : std::min(2 * retryMs_, Replication::kLongestRetryMs);
        timer_.start(retryMs_);
    }

    void closeConnection() {
        owner_.setCancel(nullptr);
        if (QSqlDatabase::contains(connection_)) QSqlDatabase::database(connection_, false).close();
    }

    // Keeps what was found in the journal for the console, when it changed.
    void report(bool reachable, const QString& message) {
        if (reported_ && reported_->first == reachable && reported_->second == message) return;
        emit owner_.statusChanged(reachable, message);
        QString error;
        if (journal_.isOpen() && journal_.writeReplicationStatus(reachable, message, &error))
            reported_ = std::make_pair(reachable, message);
    }

    Replication& owner_;
    StationJournal journal_;
    QString connection_;
    QString serveur_;
    std::optional<ClassServer> server_;
    QString serverProblem_;
    QTimer timer_;
    int retryMs_ = 0;
    bool finishing_ = false;
    QElapsedTimer lastSign_;
    std::optional<std::pair<bool, QString>> reported_;
    std::optional<int> told_;   // the running exercise the simulator was told of (0: none)
    QString exerciseProblem_;   // why its model is not in poly/
};

Replication::Replication(QString journalPath, QString serveur, QString settingsPath, QString installation,
                         QString polyFolder, QObject* parent)
    : QObject(parent),
      journalPath_(std::move(journalPath)),
      serveur_(std::move(serveur)),
      settingsPath_(std::move(settingsPath)),
      installation_(std::move(installation)),
      polyFolder_(std::move(polyFolder)) {}

Replication::~Replication() { stop(); }

void Replication::start() {
    worker_ = std::make_unique<WorkerThread<ReplicationWorker>>(new ReplicationWorker(*this));
    worker_->post([](ReplicationWorker& w) { w.start(); });
}

void Replication::rowsAppended() {
    if (worker_) worker_->post([](ReplicationWorker& w) { w.soon(); });
}

void Replication::setCancel(PGcancel* cancel) {
    QMutexLocker lock(&cancelMutex_);
    if (cancel_) postgresqlClient()->freeCancel(cancel_);
    cancel_ = cancel;
}

void Replication::stop() {
    if (!worker_) return;
    // Asked of the worker: it ends its thread itself, so it is there until then.
    worker_->post([](ReplicationWorker& w) { w.finish(); });
    if (!worker_->wait(kLastSendMs)) {
        stopping_ = true;
        do {
            {
                QMutexLocker lock(&cancelMutex_);
                char message[256];
                if (cancel_) postgresqlClient()->cancel(cancel_, message, sizeof message);
            }
            worker_->quit();
        } while (!worker_->wait(200));
    }
    worker_.reset();
    setCancel(nullptr);
}
