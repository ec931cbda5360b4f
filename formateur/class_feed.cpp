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

// The columns of essais, then recu as the server writes it.
const QString kSelect = QStringLiteral("SELECT %1, recu::text FROM essais").arg(journalColumns().join(", "));
const int kReceived = journalColumns().size();

Trial trialAt(const QSqlQuery& q) {
    JournalRow r;
    r.poste = q.value(0).toString();
    r.stagiaire = q.value(1).toString();
    r.session = q.value(2).toString();
    r.numero = q.value(3).toInt();
    r.heure = q.value(4).toString();
    double* const numbers[] = {&r.a, &r.r, &r.l, &r.c, &r.f, &r.a1, &r.a2, &r.h, &r.cout_outillage, &r.cout_reglage};
    for (int i = 0; i < 10; ++i) *numbers[i] = q.value(5 + i).toDouble();
    r.nb_essais = q.value(15).toInt();
    r.facture = q.value(16).toInt();
    return trialFrom(r);
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
    QString sql = kSelect;
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
        known.lastReceived = q.value(kReceived).toString();
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
