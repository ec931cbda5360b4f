#include "journal_row.h"

#include <QSqlQuery>

#include <algorithm>

namespace {

JournalColumn column(const char* name, ColumnType type, std::function<QVariant(const JournalRow&)> value,
                     std::function<void(JournalRow&, const QVariant&)> set) {
    JournalColumn c;
    c.name = name;
    c.type = type;
    c.value = std::move(value);
    c.set = std::move(set);
    return c;
}

JournalColumn text(const char* name, QString JournalRow::*field) {
    // An empty text is stored as one, not as NULL.
    return column(name, ColumnType::Text,
                  [field](const JournalRow& r) { return QVariant((r.*field).isNull() ? QString("") : r.*field); },
                  [field](JournalRow& r, const QVariant& v) { r.*field = v.toString(); });
}

JournalColumn integer(const char* name, int JournalRow::*field) {
    return column(name, ColumnType::Integer, [field](const JournalRow& r) { return QVariant(r.*field); },
                  [field](JournalRow& r, const QVariant& v) { r.*field = v.toInt(); });
}

JournalColumn real(const char* name, double JournalRow::*field) {
    return column(name, ColumnType::Real, [field](const JournalRow& r) { return QVariant(r.*field); },
                  [field](JournalRow& r, const QVariant& v) { r.*field = v.toDouble(); });
}

JournalColumn setting(const char* name, std::size_t i) {
    return column(name, ColumnType::Real, [i](const JournalRow& r) { return QVariant(r.setting[i]); },
                  [i](JournalRow& r, const QVariant& v) { r.setting[i] = v.toDouble(); });
}

JournalColumn flag(const char* name, bool JournalRow::*field) {
    return column(name, ColumnType::Flag, [field](const JournalRow& r) { return QVariant(r.*field ? 1 : 0); },
                  [field](JournalRow& r, const QVariant& v) { r.*field = v.toInt() != 0; });
}

JournalColumn inCsv(JournalColumn c, const char* header) {
    c.csv = header;
    return c;
}

JournalColumn emptyByDefault(JournalColumn c, int since = 1) {
    c.emptyByDefault = true;
    c.since = since;
    return c;
}

std::vector<JournalColumn> layout() {
    return {
        text("poste", &JournalRow::station),
        emptyByDefault(text("stagiaire", &JournalRow::trainee)),
        inCsv(text("session", &JournalRow::session), "session"),
        integer("numero", &JournalRow::number),
        inCsv(text("heure", &JournalRow::recorded), "heure"),
        inCsv(setting("a", 0), "A"),
        inCsv(setting("r", 1), "R"),
        inCsv(setting("l", 2), "L"),
        inCsv(setting("c", 3), "C"),
        inCsv(setting("f", 4), "F"),
        inCsv(real("a1", &JournalRow::A1), "A1"),
        inCsv(real("a2", &JournalRow::A2), "A2"),
        inCsv(real("h", &JournalRow::H), "H"),
        inCsv(real("cout_outillage", &JournalRow::tooling), "cout_outillage"),
        inCsv(real("cout_reglage", &JournalRow::adjustment), "cout_reglage"),
        inCsv(integer("nb_essais", &JournalRow::count), "essais"),
        inCsv(flag("facture", &JournalRow::charged), "facture"),
        emptyByDefault(text("installation", &JournalRow::installation), 2),
        emptyByDefault(integer("exercice", &JournalRow::exercise), 3),
        emptyByDefault(text("empreinte", &JournalRow::fingerprint), 3),
    };
}

}  // namespace

QString JournalColumn::definition(SqlDialect dialect) const {
    const bool sqlite = dialect == SqlDialect::SQLite;
    QString typeName;
    switch (type) {
        case ColumnType::Text: typeName = sqlite ? "TEXT" : "text"; break;
        case ColumnType::Integer:
        case ColumnType::Flag: typeName = sqlite ? "INTEGER" : "integer"; break;
        case ColumnType::Real: typeName = sqlite ? "REAL" : "double precision"; break;
    }
    const QString empty = type == ColumnType::Text ? QStringLiteral(" DEFAULT ''") : QStringLiteral(" DEFAULT 0");
    return QStringLiteral("%1 %2 NOT NULL%3").arg(name, typeName, emptyByDefault ? empty : QString());
}

const std::vector<JournalColumn>& journalLayout() {
    static const std::vector<JournalColumn> columns = layout();
    return columns;
}

bool JournalRow::operator==(const JournalRow& o) const {
    const QVariantList mine = journalValues(*this), theirs = journalValues(o);
    // Numbers compare exactly: a row read back is the row written.
    return std::equal(mine.begin(), mine.end(), theirs.begin(), [](const QVariant& a, const QVariant& b) {
        return a.userType() == QMetaType::Double ? a.toDouble() == b.toDouble() : a == b;
    });
}

QStringList journalColumns() {
    QStringList names;
    for (const JournalColumn& c : journalLayout()) names << c.name;
    return names;
}

QVariantList journalValues(const JournalRow& row) {
    QVariantList values;
    for (const JournalColumn& c : journalLayout()) values << c.value(row);
    return values;
}

JournalRow journalRowAt(const QSqlQuery& q, int firstColumn) {
    JournalRow row;
    int i = firstColumn;
    for (const JournalColumn& c : journalLayout()) c.set(row, q.value(i++));
    return row;
}

QString journalInsertSql(const QString& suffix) {
    const QStringList columns = journalColumns();
    return QStringLiteral("INSERT INTO essais (%1) VALUES (?%2)%3")
        .arg(columns.join(','), QString(",?").repeated(columns.size() - 1), suffix);
}

std::map<int, QString> commentsByNumber(QSqlQuery& q) {
    std::map<int, QString> out;
    while (q.next()) out[q.value(0).toInt()] = q.value(1).toString();
    return out;
}
