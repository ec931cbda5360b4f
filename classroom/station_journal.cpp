#include "station_journal.h"

#include "facts.h"
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

#include <algorithm>
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

// The journal's table: the row's columns, and whether the class database has it.
QString createEssais() {
    QStringList definitions;
    for (const JournalColumn& c : journalLayout()) definitions << c.definition(SqlDialect::SQLite);
    return QStringLiteral("CREATE TABLE essais (%1, envoye INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (session, numero))")
        .arg(definitions.join(", "));
}

// What the replication worker keeps: what it last found, the exercise
// whose model it last put in place, and the exercise the station is in now
// (for the editors and the console, which hold the coefficients during an exam).
const char* const kCreateWorkerTables[] = {
    R"(CREATE TABLE IF NOT EXISTS replication (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  joignable INTEGER NOT NULL, message TEXT NOT NULL, heure TEXT NOT NULL))",
    "CREATE TABLE IF NOT EXISTS exercice_applique (id INTEGER PRIMARY KEY CHECK (id = 1), numero INTEGER NOT NULL)",
    R"(CREATE TABLE IF NOT EXISTS exercice_en_cours (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  numero INTEGER NOT NULL, examen INTEGER NOT NULL, fin TEXT))",
    // The trainer's comments, when the console debriefs a session of this journal.
    R"(CREATE TABLE IF NOT EXISTS commentaires (
  session TEXT NOT NULL, numero INTEGER NOT NULL, texte TEXT NOT NULL, heure TEXT NOT NULL,
  PRIMARY KEY (session, numero)))",
};

const char kSelectCurrentExercise[] = "SELECT numero, examen, fin FROM exercice_en_cours WHERE id = 1";

CurrentExercise currentExerciseAt(const QSqlQuery& q) {
    CurrentExercise e;
    e.number = q.value(0).toInt();
    e.exam = q.value(1).toInt() != 0;
    if (!q.value(2).isNull()) e.end = QDateTime::fromString(q.value(2).toString(), Qt::ISODateWithMs);
    return e;
}

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
    // A journal from an older build gets the columns it lacks, once
    // whichever program opens it first.
    auto missingColumns = [&]() -> std::optional<std::vector<const JournalColumn*>> {
        if (!q.exec("SELECT name FROM pragma_table_info('essais')")) return std::nullopt;
        QStringList present;
        while (q.next()) present << q.value(0).toString();
        q.finish();
        std::vector<const JournalColumn*> missing;
        for (const JournalColumn& c : journalLayout())
            if (!present.contains(c.name)) missing.push_back(&c);
        return missing;
    };
    auto addMissingColumns = [&] {
        const auto seen = missingColumns();
        if (!seen) return fail();
        if (seen->empty()) return true;
        if (!q.exec("BEGIN IMMEDIATE")) return fail();
        const auto missing = missingColumns();
        if (!missing) return fail();
        for (const JournalColumn* c : *missing)
            if (!q.exec("ALTER TABLE essais ADD COLUMN " + c->definition(SqlDialect::SQLite))) return fail();
        return q.exec("COMMIT") || fail();
    };
    auto createWorkerTables = [&] {
        return std::all_of(std::begin(kCreateWorkerTables), std::end(kCreateWorkerTables),
                           [&](const char* sql) { return q.exec(sql); }) || fail();
    };
    if (!q.exec("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'essais'") || !q.next())
        return fail();
    if (q.value(0).toInt() == 1) {
        q.finish();
        return addMissingColumns() && createWorkerTables();
    }
    q.finish();
    if (!q.exec("BEGIN IMMEDIATE")) return fail();
    // Another program may have created it meanwhile.
    if (!q.exec("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'essais'") || !q.next())
        return fail();
    const bool created = q.value(0).toInt() == 0;
    q.finish();
    if (created) {
        if (!q.exec(createEssais()) || !q.exec("CREATE INDEX essais_a_envoyer ON essais (envoye) WHERE envoye = 0"))
            return fail();
    }
    if (!createWorkerTables()) return false;
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

std::optional<std::vector<JournalEntry>> StationJournal::session(const QString& session, QString* error) {
    return select(QStringLiteral("session = ? ORDER BY rowid"), {session}, error);
}

std::optional<std::map<int, QString>> StationJournal::comments(const QString& session, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare("SELECT numero, texte FROM commentaires WHERE session = ?");
    q.addBindValue(session);
    if (q.exec()) return commentsByNumber(q);
    *error = describe(path_, q.lastError());
    return std::nullopt;
}

bool StationJournal::writeComment(const QString& session, int number, const QString& text, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (text.isEmpty()) {
        q.prepare("DELETE FROM commentaires WHERE session = ? AND numero = ?");
    } else {
        q.prepare("INSERT INTO commentaires (session, numero, texte, heure) VALUES (?, ?, ?, ?) "
                  "ON CONFLICT (session, numero) DO UPDATE SET texte = excluded.texte, heure = excluded.heure");
    }
    q.addBindValue(session);
    q.addBindValue(number);
    if (!text.isEmpty()) {
        q.addBindValue(text);
        q.addBindValue(nowUtc());
    }
    if (q.exec()) return true;
    *error = describe(path_, q.lastError());
    return false;
}

std::optional<int> StationJournal::appliedExercise(QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec("SELECT coalesce(max(numero), 0) FROM exercice_applique") || !q.next()) {
        *error = describe(path_, q.lastError());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

bool StationJournal::writeAppliedExercise(int number, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare("INSERT INTO exercice_applique (id, numero) VALUES (1, ?) "
              "ON CONFLICT (id) DO UPDATE SET numero = excluded.numero");
    q.addBindValue(number);
    if (q.exec()) return true;
    *error = describe(path_, q.lastError());
    return false;
}

std::optional<CurrentExercise> StationJournal::currentExercise(QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(kSelectCurrentExercise)) {
        *error = describe(path_, q.lastError());
        return std::nullopt;
    }
    return q.next() ? currentExerciseAt(q) : CurrentExercise{};
}

bool StationJournal::writeCurrentExercise(const CurrentExercise& exercise, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare("INSERT INTO exercice_en_cours (id, numero, examen, fin) VALUES (1, ?, ?, ?) "
              "ON CONFLICT (id) DO UPDATE SET numero = excluded.numero, examen = excluded.examen, fin = excluded.fin");
    q.addBindValue(exercise.number);
    q.addBindValue(exercise.exam ? 1 : 0);
    q.addBindValue(exercise.end ? QVariant(exercise.end->toUTC().toString(Qt::ISODateWithMs)) : QVariant());
    if (q.exec()) return true;
    *error = describe(path_, q.lastError());
    return false;
}

std::optional<int> StationJournal::trialsInExercise(int number, QString* error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare("SELECT count(*) FROM essais WHERE exercice = ?");
    q.addBindValue(number);
    if (!q.exec() || !q.next()) {
        *error = describe(path_, q.lastError());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

bool examRunning(const QString& workingFolder) {
    const QString path = QDir(workingFolder).filePath(QStringLiteral("%1/%2").arg(facts::kDataFolder, facts::kJournalFile));
    if (!QFileInfo(path).isFile()) return false;
    const QString connection = newConnectionName();
    bool exam = false;
    {
        // Only read: a program that merely asks never creates, mends or sets aside a journal.
        // Not opened read-only, which would leave the files of a write-ahead log behind it.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
        db.setDatabaseName(path);
        db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=200");
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(kSelectCurrentExercise) && q.next()) {
                const CurrentExercise current = currentExerciseAt(q);
                exam = current.exam && current.running(QDateTime::currentDateTimeUtc());
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return exam;
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

namespace {

// One field of the old journal.csv into the row, when a column holds it; a
// field derived from others need only be a number.
bool readCsvField(const QString& header, const QString& field, JournalRow& row) {
    const auto& layout = journalLayout();
    const auto column = std::find_if(layout.begin(), layout.end(), [&](const JournalColumn& c) { return c.csv == header; });
    const ColumnType type = column == layout.end() ? ColumnType::Real : column->type;
    QVariant value = field;
    if (type == ColumnType::Flag) {
        if (field != "oui" && field != "non") return false;
        value = field == "oui" ? 1 : 0;
    } else if (type != ColumnType::Text) {
        bool ok = false;
        const double number = field.toDouble(&ok);
        if (!ok || !std::isfinite(number)) return false;
        value = type == ColumnType::Integer ? QVariant(int(std::lround(number))) : QVariant(number);
    }
    if (column != layout.end()) column->set(row, value);
    return true;
}

}  // namespace

std::vector<JournalRow> importJournalCsv(const QString& csvPath, const QString& poste) {
    static const QStringList headers = journalCsvColumns();
    std::vector<JournalRow> rows;
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) return rows;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || QString::fromUtf8(lines.first()).trimmed() != headers.join(',')) return rows;
    std::map<int, std::pair<QString, int>> sessions;  // old number -> UUID, last number
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList fields = QString::fromUtf8(lines[i]).trimmed().split(',');
        if (fields.size() != headers.size()) continue;
        JournalRow r;
        bool ok = true;
        for (int k = 0; ok && k < headers.size(); ++k) ok = readCsvField(headers[k], fields[k], r);
        // The console numbered its sessions 1, 2, ... and wrote local times.
        const QDateTime time = QDateTime::fromString(r.recorded, Qt::ISODateWithMs);
        ok = ok && time.isValid();
        const int oldSession = ok ? r.session.toInt(&ok) : 0;
        if (!ok) continue;
        auto& [uuid, number] = sessions[oldSession];
        if (uuid.isEmpty()) uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        r.station = poste;
        r.session = uuid;
        r.number = ++number;
        r.recorded = time.toUTC().toString(Qt::ISODateWithMs);
        rows.push_back(r);
    }
    return rows;
}
