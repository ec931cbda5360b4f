#include "station_journal.h"

#include "file_safety.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>

#include <array>
#include <atomic>
#include <cmath>
#include <map>

namespace {

// SQLite's code for a file that is not a database.
const QString kNotADatabase = QStringLiteral("26");

QString newConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("station-journal-%1").arg(counter.fetch_add(1));
}

QString nowUtc() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

QString describe(const QString& path, const QSqlError& e) {
    return QStringLiteral("Journal %1 : %2").arg(QDir::toNativeSeparators(path), e.text());
}

const char* const kCreateEssais = R"(
CREATE TABLE essais (
  poste TEXT NOT NULL, stagiaire TEXT NOT NULL DEFAULT '', session TEXT NOT NULL,
  numero INTEGER NOT NULL, heure TEXT NOT NULL,
  a REAL NOT NULL, r REAL NOT NULL, l REAL NOT NULL, c REAL NOT NULL, f REAL NOT NULL,
  a1 REAL NOT NULL, a2 REAL NOT NULL, h REAL NOT NULL,
  cout_outillage REAL NOT NULL, cout_reglage REAL NOT NULL,
  nb_essais INTEGER NOT NULL, facture INTEGER NOT NULL,
  installation TEXT NOT NULL DEFAULT '',
  envoye INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (session, numero)))";

const char* const kCreateStatus = R"(
CREATE TABLE IF NOT EXISTS replication (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  joignable INTEGER NOT NULL, message TEXT NOT NULL, heure TEXT NOT NULL))";

JournalEntry entryFrom(const QSqlQuery& q) {
    return {q.value(0).toLongLong(), q.value(1).toInt() != 0, journalRowAt(q, 2)};
}

// Sets a file that SQLite cannot read aside, with what SQLite kept beside it.
bool setAside(const QString& path, QString* error) {
    const QString stamp = QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss");
    const QString aside = path + ".bad-" + stamp;
    if (!QFile::rename(path, aside)) {
        *error = QStringLiteral("Le journal %1 est endommagé et n'a pas pu être mis de côté.")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    for (const char* extra : {"-wal", "-shm"}) QFile::rename(path + extra, aside + extra);
    return true;
}

}  // namespace

bool JournalRow::operator==(const JournalRow& o) const {
    return poste == o.poste && stagiaire == o.stagiaire && session == o.session && numero == o.numero &&
           heure == o.heure && a == o.a && r == o.r && l == o.l && c == o.c && f == o.f && a1 == o.a1 &&
           a2 == o.a2 && h == o.h && cout_outillage == o.cout_outillage && cout_reglage == o.cout_reglage &&
           nb_essais == o.nb_essais && facture == o.facture && installation == o.installation;
}

QStringList journalColumns() {
    return {"poste", "stagiaire", "session", "numero", "heure", "a", "r", "l", "c", "f", "a1", "a2", "h",
            "cout_outillage", "cout_reglage", "nb_essais", "facture", "installation"};
}

QVariantList journalValues(const JournalRow& r) {
    // An empty text is stored as one, not as NULL.
    auto text = [](const QString& s) { return QVariant(s.isNull() ? QString("") : s); };
    return {text(r.poste), text(r.stagiaire), text(r.session), r.numero, r.heure, r.a, r.r, r.l, r.c, r.f, r.a1, r.a2, r.h,
            r.cout_outillage, r.cout_reglage, r.nb_essais, r.facture, text(r.installation)};
}

JournalRow journalRowAt(const QSqlQuery& q, int firstColumn) {
    auto v = [&](int i) { return q.value(firstColumn + i); };
    JournalRow r;
    r.poste = v(0).toString();
    r.stagiaire = v(1).toString();
    r.session = v(2).toString();
    r.numero = v(3).toInt();
    r.heure = v(4).toString();
    double* const numbers[] = {&r.a, &r.r, &r.l, &r.c, &r.f, &r.a1, &r.a2, &r.h, &r.cout_outillage, &r.cout_reglage};
    for (int i = 0; i < 10; ++i) *numbers[i] = v(5 + i).toDouble();
    r.nb_essais = v(15).toInt();
    r.facture = v(16).toInt();
    r.installation = v(17).toString();
    return r;
}

QString journalInsertSql(const QString& suffix) {
    const QStringList columns = journalColumns();
    return QStringLiteral("INSERT INTO essais (%1) VALUES (?%2)%3")
        .arg(columns.join(','), QString(",?").repeated(columns.size() - 1), suffix);
}

QStringList journalCsvColumns() {
    return {"heure", "session", "A", "R", "L", "C", "F", "A1", "A2", "H", "ecart_A1", "ecart_A2",
            "ecart_H", "cout_outillage", "cout_reglage", "cout_total", "essais", "facture"};
}

namespace {

// Inserts the rows inside the caller's transaction; the first failure stops it.
bool insertRows(const QSqlDatabase& db, const std::vector<JournalRow>& rows, QSqlError* failure) {
    QSqlQuery insert(db);
    insert.prepare(journalInsertSql());
    for (const JournalRow& row : rows) {
        for (const QVariant& v : journalValues(row)) insert.addBindValue(v);
        if (!insert.exec()) {
            *failure = insert.lastError();
            return false;
        }
    }
    return true;
}

}  // namespace

StationJournal::StationJournal(QString path) : path_(std::move(path)), connection_(newConnectionName()) {}

StationJournal::~StationJournal() { close(); }

bool StationJournal::isOpen() const {
    return QSqlDatabase::contains(connection_) && QSqlDatabase::database(connection_, false).isOpen();
}

void StationJournal::close() {
    if (!QSqlDatabase::contains(connection_)) return;
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
}

bool StationJournal::open(QString* error, const QString& importPoste, bool durable) {
    close();
    // SQLite follows links: through another user's, the journal would be
    // written, or made, wherever that user chose.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::string target;
        const auto followed = file_safety::followOwnLinks(QFile::encodeName(path_ + suffix).toStdString(), target);
        if (!followed.ok()) {
            *error = QStringLiteral("Journal %1 : %2").arg(QDir::toNativeSeparators(path_),
                                                          QString::fromStdString(followed.error));
            return false;
        }
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool ready = false;
        QSqlError failure;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection_);
            db.setDatabaseName(path_);
            // Another writer is waited for briefly: a trial never waits long.
            db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=20");
            if (db.open()) {
                QSqlQuery q(db);
                // A writer touches the last pages only: a small cache keeps a
                // long session's memory flat.
                ready = q.exec("PRAGMA journal_mode=WAL") &&
                        q.exec(durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL") &&
                        (!durable || q.exec("PRAGMA cache_size=-64")) &&
                        createSchema(importPoste, error);
                failure = q.lastError();
            } else {
                failure = db.lastError();
            }
        }
        if (ready) return true;
        if (failure.isValid()) *error = describe(path_, failure);
        close();
        if (failure.nativeErrorCode() != kNotADatabase || attempt > 0) return false;
        if (!setAside(path_, error)) return false;
    }
    return false;
}

bool StationJournal::createSchema(const QString& importPoste, QString* error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    auto fail = [&] {
        *error = describe(path_, q.lastError());
        q.exec("ROLLBACK");
        return false;
    };
    // A journal from before installations were named gets the column, once
    // whichever program opens it first.
    auto addInstallationColumn = [&](QSqlQuery& q) {
        auto missing = [&] {
            return q.exec("SELECT count(*) FROM pragma_table_info('essais') WHERE name = 'installation'") &&
                   q.next() && q.value(0).toInt() == 0;
        };
        if (!missing()) return q.lastError().isValid() ? fail() : (q.finish(), true);
        q.finish();
        if (!q.exec("BEGIN IMMEDIATE")) return fail();
        const bool add = missing();
        q.finish();
        if (add && !q.exec("ALTER TABLE essais ADD COLUMN installation TEXT NOT NULL DEFAULT ''")) return fail();
        return q.exec("COMMIT") || fail();
    };
    if (!q.exec("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'essais'") || !q.next())
        return fail();
    if (q.value(0).toInt() == 1) {
        q.finish();
        return addInstallationColumn(q) && (q.exec(kCreateStatus) || fail());
    }
    q.finish();
    if (!q.exec("BEGIN IMMEDIATE")) return fail();
    // Another program may have created it meanwhile.
    if (!q.exec("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'essais'") || !q.next())
        return fail();
    const bool created = q.value(0).toInt() == 0;
    q.finish();
    if (created) {
        if (!q.exec(kCreateEssais) || !q.exec("CREATE INDEX essais_a_envoyer ON essais (envoye) WHERE envoye = 0"))
            return fail();
    }
    if (!q.exec(kCreateStatus)) return fail();
    if (created) {
        const QString csv = QFileInfo(path_).dir().filePath("journal.csv");
        QSqlError failure;
        if (!insertRows(db, importJournalCsv(csv, importPoste), &failure)) {
            *error = describe(path_, failure);
            q.exec("ROLLBACK");
            return false;
        }
    }
    return q.exec("COMMIT") || fail();
}

bool StationJournal::append(const std::vector<JournalRow>& rows, QString* error) {
    if (!isOpen()) {
        *error = QStringLiteral("Le journal %1 n'est pas ouvert.").arg(QDir::toNativeSeparators(path_));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec("BEGIN IMMEDIATE")) {
        *error = describe(path_, q.lastError());
        return false;
    }
    QSqlError failure;
    if (!insertRows(db, rows, &failure)) {
        *error = describe(path_, failure);
        q.exec("ROLLBACK");
        return false;
    }
    if (!q.exec("COMMIT")) {
        *error = describe(path_, q.lastError());
        q.exec("ROLLBACK");
        return false;
    }
    return true;
}

std::optional<std::vector<JournalEntry>> StationJournal::entries(qint64 afterId, QString* error, int limit) {
    return select(QStringLiteral("rowid > ? ORDER BY rowid LIMIT ?"), {afterId, limit > 0 ? limit : -1}, error);
}

std::optional<qint64> StationJournal::latestSessionStart(QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec("SELECT coalesce(max(rowid), 0) FROM essais "
                "WHERE session IS NOT (SELECT session FROM essais ORDER BY rowid DESC LIMIT 1)") ||
        !q.next()) {
        *error = describe(path_, q.lastError());
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

std::optional<std::vector<JournalEntry>> StationJournal::unsent(int limit, QString* error) {
    return select(QStringLiteral("envoye = 0 ORDER BY rowid LIMIT ?"), {limit}, error);
}

std::optional<std::vector<JournalEntry>> StationJournal::select(const QString& condition, const QVariantList& values,
                                                                QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare("SELECT rowid, envoye, " + journalColumns().join(", ") + " FROM essais WHERE " + condition);
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) {
        *error = describe(path_, q.lastError());
        return std::nullopt;
    }
    std::vector<JournalEntry> out;
    while (q.next()) out.push_back(entryFrom(q));
    return out;
}

bool StationJournal::markSent(const std::vector<JournalEntry>& sent, QString* error) {
    if (sent.empty()) return true;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // The rows sent are the oldest unsent ones, up to the last of them.
    q.prepare("UPDATE essais SET envoye = 1 WHERE envoye = 0 AND rowid <= ?");
    q.addBindValue(sent.back().id);
    if (!q.exec()) {
        *error = describe(path_, q.lastError());
        return false;
    }
    return true;
}

bool StationJournal::markSetAside(const JournalEntry& refused, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare("UPDATE essais SET envoye = 2 WHERE rowid = ?");
    q.addBindValue(refused.id);
    if (q.exec()) return true;
    *error = describe(path_, q.lastError());
    return false;
}

bool StationJournal::writeReplicationStatus(bool reachable, const QString& message, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare("INSERT INTO replication (id, joignable, message, heure) VALUES (1, ?, ?, ?) "
              "ON CONFLICT (id) DO UPDATE SET joignable = excluded.joignable, message = excluded.message, "
              "heure = excluded.heure");
    q.addBindValue(reachable ? 1 : 0);
    q.addBindValue(message.isNull() ? QString("") : message);
    q.addBindValue(nowUtc());
    if (!q.exec()) {
        *error = describe(path_, q.lastError());
        return false;
    }
    return true;
}

std::optional<ReplicationStatus> StationJournal::replicationStatus(QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    ReplicationStatus s;
    if (!q.exec("SELECT joignable, message, heure FROM replication WHERE id = 1")) {
        *error = describe(path_, q.lastError());
        return std::nullopt;
    }
    if (q.next()) {
        s.known = true;
        s.reachable = q.value(0).toInt() != 0;
        s.message = q.value(1).toString();
        s.heure = q.value(2).toString();
    }
    if (!q.exec("SELECT count(*) FROM essais WHERE envoye = 0") || !q.next()) {
        *error = describe(path_, q.lastError());
        return std::nullopt;
    }
    s.pending = q.value(0).toLongLong();
    return s;
}

std::vector<JournalRow> importJournalCsv(const QString& csvPath, const QString& poste) {
    // The columns the console wrote: heure, session, A..F, A1, A2, H, three
    // deviations, the two costs, the total, the count and "oui"/"non".
    static const QString header = journalCsvColumns().join(',');
    std::vector<JournalRow> rows;
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) return rows;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || QString::fromUtf8(lines.first()).trimmed() != header) return rows;
    std::map<int, std::pair<QString, int>> sessions;  // old number -> UUID, last numero
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList f = QString::fromUtf8(lines[i]).trimmed().split(',');
        if (f.size() != 18 || (f[17] != "oui" && f[17] != "non")) continue;
        const QDateTime time = QDateTime::fromString(f[0], Qt::ISODateWithMs);
        bool ok = time.isValid();
        const int oldSession = ok ? f[1].toInt(&ok) : 0;
        std::array<double, 15> v{};
        for (int k = 0; ok && k < 15; ++k) {
            v[k] = f[k + 2].toDouble(&ok);
            ok = ok && std::isfinite(v[k]);
        }
        if (!ok) continue;
        auto& [uuid, numero] = sessions[oldSession];
        if (uuid.isEmpty()) uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        JournalRow r;
        r.poste = poste;
        r.session = uuid;
        r.numero = ++numero;
        r.heure = time.toUTC().toString(Qt::ISODateWithMs);
        r.a = v[0], r.r = v[1], r.l = v[2], r.c = v[3], r.f = v[4];
        r.a1 = v[5], r.a2 = v[6], r.h = v[7];
        r.cout_outillage = v[11], r.cout_reglage = v[12];
        r.nb_essais = int(std::lround(v[14]));
        r.facture = f[17] == "oui" ? 1 : 0;
        rows.push_back(r);
    }
    return rows;
}
