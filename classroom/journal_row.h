// One trial as the station's journal and the class database keep it (table
// essais), and the one description of the columns that hold it: the tables'
// columns, the binding and reading of rows and the old CSV's columns all come
// from it.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <array>
#include <functional>
#include <map>
#include <vector>

class QSqlQuery;

struct JournalRow {
    QString station, trainee;
    QString session;  // a UUID, new at each start of the simulator
    int number = 0;   // 1, 2, ... in the session, uncharged repeats included
    QString recorded;  // when: ISO 8601, UTC, milliseconds
    std::array<double, 5> setting{};  // A (°), R, L, C (mm), F (bars)
    double A1 = 0, A2 = 0, H = 0;     // the predictions: °, °, mm
    double tooling = 0, adjustment = 0;  // the account's costs after the trial
    int count = 0;         // the account's count after the trial
    bool charged = false;  // false for an uncharged repeat
    // The simulator's installation (data/installation), which tells apart two
    // PCs given one station name; empty in rows from before it was kept.
    QString installation;
    // The class's exercise running when the trial was made, as the station
    // knew it: 0 outside one, or before the station heard of it.
    int exercise = 0;
    // What the trial evaluated: the fingerprint of the coefficient files in
    // poly/, « intégrés » for the built-in rows; empty in older rows.
    QString fingerprint;

    bool operator==(const JournalRow& o) const;
};

// How a column holds its value: a flag is 0 or 1 in the tables, "oui" or
// "non" in the old CSV.
enum class ColumnType { Text, Integer, Real, Flag };
enum class SqlDialect { SQLite, PostgreSQL };

struct JournalColumn {
    QString name;  // in both databases
    ColumnType type = ColumnType::Text;
    std::function<QVariant(const JournalRow&)> value;  // as the tables keep it
    std::function<void(JournalRow&, const QVariant&)> set;
    QString csv;       // its header in the old journal.csv; empty when it had none
    int since = 1;     // the class database's schema version that brought it
    bool emptyByDefault = false;  // a row may leave it out (empty text, 0); required of a column added later

    // "name type NOT NULL ..." as a CREATE TABLE or an ADD COLUMN gives it.
    QString definition(SqlDialect dialect) const;
};

// The columns of essais, in order.
const std::vector<JournalColumn>& journalLayout();
// Their names, and a row's values in that order.
QStringList journalColumns();
QVariantList journalValues(const JournalRow& row);
// The row whose columns the query's current record holds in that order,
// from firstColumn on.
JournalRow journalRowAt(const QSqlQuery& q, int firstColumn);
// INSERT INTO essais of those columns, one placeholder each, then suffix.
QString journalInsertSql(const QString& suffix = {});

// The trainer's comments on a session's trials, by trial number, from the
// rows (numero, texte) of the query just run: both databases keep them so.
std::map<int, QString> commentsByNumber(QSqlQuery& q);
