#include "class_feed.h"

#include "class_standing.h"
#include "replication.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

namespace {

const char kChannel[] = "essais";

QString keyOf(const Trial& t) { return t.session + QChar(0x1f) + QString::number(t.number); }

// The columns of essais, then recu as the server writes it.
const QString kSelect = QStringLiteral("SELECT %1, recu::text FROM essais").arg(journalColumns().join(", "));
const int kReceived = journalColumns().size();

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
          notifiedTimer_(this) {
        QObject::connect(&pollTimer_, &QTimer::timeout, this, &ClassFeedReader::poll);
        notifiedTimer_.setSingleShot(true);
        notifiedTimer_.setInterval(kNotifiedReadMs);
        QObject::connect(&notifiedTimer_, &QTimer::timeout, this, &ClassFeedReader::fetchNotified);
    }
    ~ClassFeedReader() override;

    void start();

signals:
    void stationRead(const QString& station, const std::vector<Trial>& rows);
    void presenceRead(const QStringList& roster, const std::vector<StationContact>& contacts);
    void subscription(bool works);
    void sendOnly();
    void problem(const QString& message);
    void firstRead(bool ok);

private:
    struct Known {
        QSet<QString> keys;    // session and number of each row held
        QString lastReceived;  // the latest recu seen, as the server wrote it
    };
    bool openDatabase(QString* error);
    void notified(const QString& name, QSqlDriver::NotificationSource, const QVariant& payload);
    bool fetch(const QString& station, QString* error);  // all new rows of one station, or of all when empty
    void fetchNotified();
    void poll();
    void readPresence();
    void report(const QString& message);

    ClassServer server_;
    QString connection_;
    bool subscribed_ = false;
    std::map<QString, std::vector<Trial>> rows_;
    std::map<QString, Known> known_;
    QSet<QString> notified_;
    QTimer pollTimer_, notifiedTimer_;
    static constexpr int kNotifiedReadMs = 100, kMaxNotifiedStations = 200;
    QString lastProblem_;
    QStringList roster_;
    std::vector<StationContact> contacts_;
};

ClassFeedReader::~ClassFeedReader() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen() && subscribed_) db.driver()->unsubscribeFromNotification(kChannel);
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
    const bool ok = opened && fetch({}, &error);
    if (ok) readPresence();
    pollTimer_.start(subscribed_ ? ClassFeed::kSafetyPollMs : ClassFeed::kPollMs);
    report(ok ? QString() : error);
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
    emit subscription(subscribed_);
    return true;
}

void ClassFeedReader::notified(const QString& name, QSqlDriver::NotificationSource, const QVariant& payload) {
    if (name != kChannel) return;
    // Rows come in bursts (a station catching up), and any station may
    // notify as often as it likes: the notifications of a tenth of a second
    // give one read.
    if (!notifiedTimer_.isActive()) notifiedTimer_.start();
    // The payload names a station whose rows to read; one that names none
    // the feed knows only says to look again, by counting.
    const QString station = payload.toString();
    if (notified_.size() < kMaxNotifiedStations) notified_.insert(known_.count(station) ? station : QString());
}

void ClassFeedReader::fetchNotified() {
    const QSet<QString> stations = std::exchange(notified_, {});
    QString error;
    for (const QString& station : stations) {
        if (station.isEmpty()) {
            poll();
            continue;
        }
        if (!fetch(station, &error)) return report(error);
    }
    report({});
}

bool ClassFeedReader::fetch(const QString& station, QString* error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QString sql = kSelect;
    const QString since = station.isEmpty() ? QString() : known_[station].lastReceived;
    if (!station.isEmpty()) sql += since.isEmpty() ? " WHERE poste = ?" : " WHERE poste = ? AND recu >= ?::timestamptz";
    // One station's rows come in the order the station sent them.
    sql += " ORDER BY recu, heure, numero";
    bool ok = q.prepare(sql);
    if (ok && !station.isEmpty()) q.addBindValue(station);
    if (ok && !since.isEmpty()) q.addBindValue(since);
    if (!ok || !q.exec()) {
        *error = QStringLiteral("Base de classe illisible : %1").arg(sqlErrorText(q.lastError()));
        // A lost link is opened again at the next poll.
        if (!db.isOpen() || q.lastError().type() == QSqlError::ConnectionError) db.close();
        return false;
    }
    QSet<QString> touched;
    while (q.next()) {
        Trial t = trialFrom(journalRowAt(q, 0));
        Known& known = known_[t.station];
        known.lastReceived = q.value(kReceived).toString();
        if (known.keys.contains(keyOf(t))) continue;
        known.keys.insert(keyOf(t));
        touched.insert(t.station);
        rows_[t.station].push_back(std::move(t));
    }
    for (const QString& s : touched) {
        sortRows(rows_[s]);
        emit stationRead(s, rows_[s]);
    }
    return true;
}

void ClassFeedReader::poll() {
    QString error;
    if (!openDatabase(&error)) return report(error);
    pollTimer_.setInterval(subscribed_ ? ClassFeed::kSafetyPollMs : ClassFeed::kPollMs);
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec("SELECT poste, count(*) FROM essais GROUP BY poste")) {
        QSqlDatabase::database(connection_, false).close();
        return report(QStringLiteral("Base de classe illisible : %1").arg(sqlErrorText(q.lastError())));
    }
    QStringList behind;
    while (q.next()) {
        const QString station = q.value(0).toString();
        const qsizetype count = q.value(1).toLongLong();
        auto known = known_.find(station);
        const qsizetype held = known == known_.end() ? 0 : known->second.keys.size();
        if (count == held) continue;
        // Fewer rows than held: the database was made again; read the station anew.
        if (count < held) {
            known_.erase(station);
            rows_.erase(station);
        }
        behind << station;
    }
    for (const QString& station : behind)
        if (!fetch(station, &error)) return report(error);
    readPresence();
    report({});
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

void ClassFeedReader::report(const QString& message) {
    if (message == lastProblem_) return;
    lastProblem_ = message;
    emit problem(message);
}

ClassFeed::ClassFeed(const ClassServer& server, QObject* parent)
    : QObject(parent), reader_(new ClassFeedReader(server)) {
    reader_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, reader_, &QObject::deleteLater);
    connect(reader_, &ClassFeedReader::stationRead, this, [this](const QString& station, const std::vector<Trial>& rows) {
        rows_[station] = rows;
        emit changed(station);
    });
    connect(reader_, &ClassFeedReader::presenceRead, this,
            [this](const QStringList& roster, const std::vector<StationContact>& contacts) {
                roster_ = roster;
                contacts_ = contacts;
                emit presenceChanged();
            });
    connect(reader_, &ClassFeedReader::subscription, this, [this](bool works) { subscribed_ = works; });
    connect(reader_, &ClassFeedReader::problem, this, [this](const QString& message) {
        lastProblem_ = message;
        emit problem(message);
    });
    connect(reader_, &ClassFeedReader::sendOnly, this, &ClassFeed::sendOnly);
    connect(reader_, &ClassFeedReader::firstRead, this, [this] {
        firstReadDone_ = true;
        emit firstReadEnded();
    });
    thread_.start();
}

ClassFeed::~ClassFeed() {
    thread_.quit();
    thread_.wait();
}

void ClassFeed::start() { QMetaObject::invokeMethod(reader_, &ClassFeedReader::start); }

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
