#include "class_feed.h"

#include "class_standing.h"
#include "replication.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

namespace {

const char kChannel[] = "essais";
const char kExerciseChannel[] = "exercices";

QString keyOf(const Trial& t) { return t.session + QChar(0x1f) + QString::number(t.number); }

// The columns of essais with recu; a station's rows in the order it sent
// them, which the index essais_lecture follows.
const QString kColumns = classRowColumns();
const int kReceived = classRowReceivedColumn();
const QString kOrder = QStringLiteral("recu, heure, numero, session");

}  // namespace

// The feed's side in the reading thread: the connection, what was read and
// the polling. Each station read goes to the feed whole.
class ClassFeedReader : public QObject {
    Q_OBJECT
public:
    explicit ClassFeedReader(ClassServer server)
        : server_(std::move(server)),
          connection_(QStringLiteral("classe-%1").arg(quintptr(this))),
          pollTimer_(this),
          lookTimer_(this) {
        QObject::connect(&pollTimer_, &QTimer::timeout, this, &ClassFeedReader::poll);
        lookTimer_.setSingleShot(true);
        QObject::connect(&lookTimer_, &QTimer::timeout, this, [this] { report(look()); });
    }
    ~ClassFeedReader() override;

    void start();

signals:
    void stationRead(const QString& station, const std::vector<Trial>& rows, qint64 leftOut);
    void presenceRead(const QStringList& roster, const std::vector<StationContact>& contacts);
    void exerciseRead(const std::optional<ClassExercise>& exercise);
    void subscription(bool works);
    void sendOnly();
    void problem(const QString& message);
    void firstRead(bool ok);

private:
    struct Known {
        QSet<QString> keys;  // session and number of each row held
        QVariantList mark;   // recu, heure, numero and session of the latest row read
        qint64 leftOut = 0;  // the station's rows on the server that are not held
    };
    bool openDatabase(QString* error);
    void notified(const QString& name, QSqlDriver::NotificationSource, const QVariant& payload);
    // Each station's next page of new rows; the message when the database cannot be read.
    QString look();
    // A station's latest rows, and how many it has, read anew.
    bool readLatest(const QString& station, QString* error);
    // The rows after the mark, a page at most; *full: there may be more.
    bool readNext(const QString& station, bool* full, QString* error);
    // Keeps the rows read, the latest kRowsKept, and tells the feed.
    void take(const QString& station, QSqlQuery& q, bool newestFirst);
    // Every station whose count on the server is not what the feed holds is read anew.
    QString verify();
    void poll();
    void readPresence();
    // The running exercise, told when it started or ended; an older class database has none.
    void readExercise();
    void report(const QString& message);
    QString failed(QSqlQuery& q);

    ClassServer server_;
    QString connection_;
    bool subscribed_ = false;
    std::map<QString, std::vector<Trial>> rows_;
    std::map<QString, Known> known_;
    QTimer pollTimer_, lookTimer_;
    QElapsedTimer verified_;
    // Notifications of a tenth of a second give one look; a page of a
    // station a look, so that a station sending without end delays the
    // others by one page; at most so many rows kept a station.
    static constexpr int kLookDelayMs = 100, kPage = 500;
    QString lastProblem_;
    QStringList roster_;
    std::vector<StationContact> contacts_;
    std::optional<int> exercise_;  // the number of the running exercise told, 0 for none
};

ClassFeedReader::~ClassFeedReader() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen() && subscribed_) {
            db.driver()->unsubscribeFromNotification(kChannel);
            db.driver()->unsubscribeFromNotification(kExerciseChannel);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

void ClassFeedReader::start() {
    server_.addConnection(connection_);  // in the thread that uses it
    QString error;
    const bool opened = openDatabase(&error);
    if (opened) {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        if (q.exec("SELECT has_table_privilege('essais', 'SELECT')") && q.next() && !q.value(0).toBool()) {
            emit sendOnly();
            emit firstRead(true);
            return;
        }
    }
    if (opened) error = look();
    const bool ok = opened && error.isEmpty();
    if (ok) readPresence(), readExercise();
    verified_.start();
    pollTimer_.start(subscribed_ ? ClassFeed::kSafetyPollMs : ClassFeed::kPollMs);
    report(error);
    emit firstRead(ok);
}

bool ClassFeedReader::openDatabase(QString* error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (db.isOpen()) return true;
    if (std::exchange(subscribed_, false)) emit subscription(false);
    if (!db.open()) {
        *error = QStringLiteral("Base de classe injoignable : %1").arg(sqlErrorText(db.lastError()));
        return false;
    }
    QObject::connect(db.driver(), &QSqlDriver::notification, this, &ClassFeedReader::notified, Qt::UniqueConnection);
    subscribed_ = db.driver()->subscribeToNotification(kChannel);
    db.driver()->subscribeToNotification(kExerciseChannel);
    emit subscription(subscribed_);
    return true;
}

void ClassFeedReader::notified(const QString& name, QSqlDriver::NotificationSource, const QVariant&) {
    // Any station may notify, as often as it likes and with any payload:
    // a notification only says to look again.
    if (name == kChannel && !lookTimer_.isActive()) lookTimer_.start(kLookDelayMs);
    if (name == kExerciseChannel) readExercise();
}

QString ClassFeedReader::failed(QSqlQuery& q) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    // A lost link is opened again at the next poll.
    if (!db.isOpen() || q.lastError().type() == QSqlError::ConnectionError) db.close();
    return QStringLiteral("Base de classe illisible : %1").arg(sqlErrorText(q.lastError()));
}

QString ClassFeedReader::look() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // The stations, one step of the index each, however many rows they have.
    if (!q.exec("WITH RECURSIVE p AS ((SELECT poste FROM essais ORDER BY poste LIMIT 1) UNION ALL "
                "SELECT (SELECT poste FROM essais WHERE poste > p.poste ORDER BY poste LIMIT 1) FROM p "
                "WHERE p.poste IS NOT NULL) SELECT poste FROM p WHERE poste IS NOT NULL"))
        return failed(q);
    QStringList stations;
    while (q.next()) stations << q.value(0).toString();
    bool behind = false;
    QString error;
    for (const QString& station : stations) {
        bool full = false;
        if (!(known_.count(station) ? readNext(station, &full, &error) : readLatest(station, &error))) return error;
        behind = behind || full;
    }
    if (behind) lookTimer_.start(0);  // the next pages once the other events are served
    return {};
}

bool ClassFeedReader::readLatest(const QString& station, QString* error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    // The count and the rows of one moment.
    if (!q.exec("BEGIN ISOLATION LEVEL REPEATABLE READ")) return *error = failed(q), false;
    q.prepare("SELECT count(*) FROM essais WHERE poste = ?");
    q.addBindValue(station);
    if (!q.exec() || !q.next()) {
        *error = failed(q);
        QSqlQuery(db).exec("ROLLBACK");
        return false;
    }
    const qint64 count = q.value(0).toLongLong();
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM essais WHERE poste = ? ORDER BY recu DESC, heure DESC, numero DESC, "
                             "session DESC LIMIT %2").arg(kColumns).arg(ClassFeed::kRowsKept));
    q.addBindValue(station);
    if (!q.exec()) {
        *error = failed(q);
        QSqlQuery(db).exec("ROLLBACK");
        return false;
    }
    known_[station] = {};
    rows_[station].clear();
    take(station, q, true);
    Known& known = known_[station];
    known.leftOut = std::max<qint64>(0, count - known.keys.size());
    QSqlQuery(db).exec("COMMIT");
    emit stationRead(station, rows_[station], known.leftOut);
    return true;
}

bool ClassFeedReader::readNext(const QString& station, bool* full, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    const Known& known = known_[station];
    q.prepare(QStringLiteral("SELECT %1 FROM essais WHERE poste = ? AND (%2) > (?::timestamptz, ?, ?, ?) "
                             "ORDER BY %2 LIMIT %3").arg(kColumns, kOrder).arg(kPage));
    q.addBindValue(station);
    for (const QVariant& v : known.mark) q.addBindValue(v);
    if (!q.exec()) return *error = failed(q), false;
    const qsizetype before = known.keys.size() + known.leftOut;
    take(station, q, false);
    const Known& after = known_[station];
    *full = after.keys.size() + after.leftOut - before >= kPage;
    if (after.keys.size() + after.leftOut != before) emit stationRead(station, rows_[station], after.leftOut);
    return true;
}

void ClassFeedReader::take(const QString& station, QSqlQuery& q, bool newestFirst) {
    Known& known = known_[station];
    std::vector<Trial>& rows = rows_[station];
    bool first = true;
    while (q.next()) {
        if (!newestFirst || first)
            known.mark = {q.value(kReceived), q.value("heure"), q.value("numero"), q.value("session")};
        first = false;
        Trial t = classTrialAt(q);
        if (known.keys.contains(keyOf(t))) continue;
        known.keys.insert(keyOf(t));
        rows.push_back(std::move(t));
    }
    sortRows(rows);
    if (rows.size() <= std::size_t(ClassFeed::kRowsKept)) return;
    const auto dropped = rows.size() - ClassFeed::kRowsKept;
    for (auto t = rows.begin(); t != rows.begin() + dropped; ++t) known.keys.remove(keyOf(*t));
    rows.erase(rows.begin(), rows.begin() + dropped);
    known.leftOut += dropped;
}

QString ClassFeedReader::verify() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec("SELECT poste, count(*) FROM essais GROUP BY poste")) return failed(q);
    QStringList stale;
    while (q.next()) {
        auto known = known_.find(q.value(0).toString());
        if (known != known_.end() && q.value(1).toLongLong() != known->second.keys.size() + known->second.leftOut)
            stale << known->first;
    }
    // A row missed, or a class database made again.
    QString error;
    for (const QString& station : stale)
        if (!readLatest(station, &error)) return error;
    verified_.start();
    return {};
}

void ClassFeedReader::poll() {
    QString error;
    if (!openDatabase(&error)) return report(error);
    pollTimer_.setInterval(subscribed_ ? ClassFeed::kSafetyPollMs : ClassFeed::kPollMs);
    error = look();
    if (error.isEmpty() && verified_.elapsed() >= ClassFeed::kSafetyPollMs) error = verify();
    // The view hears that the database reads again along with the rows it read.
    report(error);
    if (error.isEmpty()) readPresence(), readExercise();
}

void ClassFeedReader::readPresence() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    QStringList roster;
    std::vector<StationContact> contacts;
    // A class database made before rosters and signs of life has neither: its rows still show.
    if (q.exec("SELECT nom FROM postes ORDER BY nom"))
        while (q.next()) roster << q.value(0).toString();
    // A station silent for three of its sign-of-life periods cannot reach the server.
    const QString silent = QStringLiteral("now() - vu > interval '%1 seconds'").arg(3 * Replication::kSignOfLifeMs / 1000);
    if (q.exec(QStringLiteral("SELECT poste, installation, ouvert, %1, vu FROM contacts ORDER BY poste, vu").arg(silent)))
        while (q.next())
            contacts.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toBool(),
                                q.value(2).toBool() && q.value(3).toBool(), q.value(4).toDateTime().toLocalTime()});
    if (roster == roster_ && contacts == contacts_) return;
    roster_ = roster;
    contacts_ = contacts;
    emit presenceRead(roster, contacts);
}

void ClassFeedReader::readExercise() {
    std::optional<ClassExercise> running;
    QString error;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!readRunningExercise(db, &running, &error)) return;
    // Told at its start and end, and at each read while it runs: its time left goes by the server's clock.
    const int number = running ? running->number : 0;
    if (number == 0 && exercise_ == 0) return;
    exercise_ = number;
    emit exerciseRead(running);
}

void ClassFeedReader::report(const QString& message) {
    if (message == lastProblem_) return;
    lastProblem_ = message;
    emit problem(message);
}

ClassFeed::ClassFeed(const ClassServer& server, QObject* parent)
    : QObject(parent), reader_(new ClassFeedReader(server)) {
    const ClassFeedReader* reader = reader_.worker();
    connect(reader, &ClassFeedReader::stationRead, this,
            [this](const QString& station, const std::vector<Trial>& rows, qint64 leftOut) {
                rows_[station] = rows;
                leftOut_[station] = leftOut;
                emit changed(station);
            });
    connect(reader, &ClassFeedReader::presenceRead, this,
            [this](const QStringList& roster, const std::vector<StationContact>& contacts) {
                roster_ = roster;
                contacts_ = contacts;
                emit presenceChanged();
            });
    connect(reader, &ClassFeedReader::exerciseRead, this, [this](const std::optional<ClassExercise>& exercise) {
        const bool changed = (exercise ? exercise->number : 0) != (exercise_ ? exercise_->number : 0);
        exercise_ = exercise;
        exerciseRead_.start();
        if (changed) emit exerciseChanged();
    });
    connect(reader, &ClassFeedReader::subscription, this, [this](bool works) { subscribed_ = works; });
    connect(reader, &ClassFeedReader::problem, this, [this](const QString& message) {
        lastProblem_ = message;
        emit problem(message);
    });
    connect(reader, &ClassFeedReader::sendOnly, this, &ClassFeed::sendOnly);
    connect(reader, &ClassFeedReader::firstRead, this, [this] {
        firstReadDone_ = true;
        emit firstReadEnded();
    });
}

void ClassFeed::start() {
    reader_.post([](ClassFeedReader& reader) { reader.start(); });
}

bool ClassFeed::waitForFirstRead() {
    while (!firstReadDone_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return lastProblem_.isEmpty();
}

std::vector<Trial> ClassFeed::allRows() const {
    std::vector<Trial> out;
    for (const auto& [station, rows] : rows_) out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

#include "class_feed.moc"

std::optional<double> ClassFeed::exerciseSecondsLeft() const {
    if (!exercise_ || !exercise_->secondsLeft) return std::nullopt;
    return std::max(0.0, *exercise_->secondsLeft - exerciseRead_.elapsed() / 1000.0);
}

qint64 ClassFeed::rowsLeftOut(const QString& station) const {
    const auto found = leftOut_.find(station);
    return found == leftOut_.end() ? 0 : found->second;
}
