#include "class_feed.h"

#include "class_standing.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char kChannel[] = "essais";

QString sqlError(const QSqlError& e) {
    const QString text = e.databaseText().trimmed();
    return text.isEmpty() ? e.text().trimmed() : text;
}

QString keyOf(const Trial& t) { return t.session + QChar(0x1f) + QString::number(t.number); }

// The columns of essais in the order read below, then recu as the server writes it.
const char kColumns[] =
    "poste, stagiaire, session, numero, heure, a, r, l, c, f, a1, a2, h, cout_outillage, cout_reglage, "
    "nb_essais, facture, recu::text";

Trial trialAt(const QSqlQuery& q) {
    Trial t;
    t.station = q.value(0).toString();
    t.trainee = q.value(1).toString();
    t.session = q.value(2).toString();
    t.number = q.value(3).toInt();
    t.time = QDateTime::fromString(q.value(4).toString(), Qt::ISODateWithMs).toLocalTime();
    for (int i = 0; i < 5; ++i) t.setting[i] = q.value(5 + i).toDouble();
    t.A1 = q.value(10).toDouble();
    t.A2 = q.value(11).toDouble();
    t.H = q.value(12).toDouble();
    t.tooling = q.value(13).toDouble();
    t.adjustment = q.value(14).toDouble();
    t.count = q.value(15).toInt();
    t.charged = q.value(16).toInt() != 0;
    return t;
}

}  // namespace

ClassFeed::ClassFeed(QString connection, QObject* parent) : QObject(parent), connection_(std::move(connection)) {
    QObject::connect(&pollTimer_, &QTimer::timeout, this, &ClassFeed::poll);
}

ClassFeed::~ClassFeed() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (db.isOpen() && subscribed_) db.driver()->unsubscribeFromNotification(kChannel);
}

bool ClassFeed::start(QString* error) {
    const bool ok = openDatabase(error) && fetch({}, error);
    pollTimer_.start(subscribed_ ? kSafetyPollMs : kPollMs);
    report(ok ? QString() : *error);
    return ok;
}

bool ClassFeed::openDatabase(QString* error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (db.isOpen()) return true;
    subscribed_ = false;
    if (!db.open()) {
        *error = QStringLiteral("Base de classe injoignable : %1").arg(sqlError(db.lastError()));
        return false;
    }
    QObject::connect(db.driver(), &QSqlDriver::notification, this, &ClassFeed::notified, Qt::UniqueConnection);
    subscribed_ = db.driver()->subscribeToNotification(kChannel);
    return true;
}

void ClassFeed::notified(const QString& name, QSqlDriver::NotificationSource, const QVariant& payload) {
    if (name != kChannel) return;
    // Rows come in bursts (a station catching up): one read for all of them.
    if (notified_.isEmpty()) QTimer::singleShot(0, this, &ClassFeed::fetchNotified);
    notified_.insert(payload.toString());
}

void ClassFeed::fetchNotified() {
    const QSet<QString> stations = std::exchange(notified_, {});
    QString error;
    for (const QString& station : stations)
        if (!fetch(station, &error)) return report(error);
    report({});
}

bool ClassFeed::fetch(const QString& station, QString* error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT %1 FROM essais").arg(kColumns);
    const QString since = station.isEmpty() ? QString() : known_[station].lastReceived;
    if (!station.isEmpty()) sql += since.isEmpty() ? " WHERE poste = ?" : " WHERE poste = ? AND recu >= ?::timestamptz";
    // One station's rows come in the order the station sent them.
    sql += " ORDER BY recu, heure, numero";
    bool ok = q.prepare(sql);
    if (ok && !station.isEmpty()) q.addBindValue(station);
    if (ok && !since.isEmpty()) q.addBindValue(since);
    if (!ok || !q.exec()) {
        *error = QStringLiteral("Base de classe illisible : %1").arg(sqlError(q.lastError()));
        // A lost link is opened again at the next poll.
        if (!db.isOpen() || q.lastError().type() == QSqlError::ConnectionError) db.close();
        return false;
    }
    QSet<QString> touched;
    while (q.next()) {
        Trial t = trialAt(q);
        Known& known = known_[t.station];
        known.lastReceived = q.value(17).toString();
        if (known.keys.contains(keyOf(t))) continue;
        known.keys.insert(keyOf(t));
        touched.insert(t.station);
        rows_[t.station].push_back(std::move(t));
    }
    for (const QString& s : touched) {
        sortRows(rows_[s]);
        emit changed(s);
    }
    return true;
}

void ClassFeed::poll() {
    QString error;
    if (!openDatabase(&error)) return report(error);
    pollTimer_.setInterval(subscribed_ ? kSafetyPollMs : kPollMs);
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec("SELECT poste, count(*) FROM essais GROUP BY poste")) {
        QSqlDatabase::database(connection_, false).close();
        return report(QStringLiteral("Base de classe illisible : %1").arg(sqlError(q.lastError())));
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
    report({});
}

void ClassFeed::report(const QString& message) {
    if (message == lastProblem_) return;
    lastProblem_ = message;
    emit problem(message);
}

std::vector<Trial> ClassFeed::allRows() const {
    std::vector<Trial> out;
    for (const auto& [station, rows] : rows_) out.insert(out.end(), rows.begin(), rows.end());
    return out;
}
