#include "measurements.h"

#include "charset.h"
#include "factors.h"
#include "file_safety.h"

#include <QStringDecoder>

#include <charconv>
#include <cmath>

namespace etalonnage {

namespace {

constexpr int kColumns = 8;  // A R L C F A1 A2 H
constexpr int kListedLines = 10;

[[noreturn]] void fail(const QString& message) { throw SheetError(message.toStdString()); }

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    // Not UTF-8: the code page of a spreadsheet saved on a French desktop.
    std::u16string codes(bytes.begin(), bytes.end());
    for (char16_t& c : codes) c &= 0xFF;
    return QString::fromStdString(utf8FromCp1252(codes));
}

// Splits one line; a quoted cell may hold the separator, "" stands for ".
QStringList cells(const QString& line, QChar separator) {
    QStringList out;
    QString cell;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') cell += c, ++i;
            else if (c == '"') quoted = false;
            else cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            out << cell.trimmed();
            cell.clear();
        } else {
            cell += c;
        }
    }
    out << cell.trimmed();
    return out;
}

// Sign, digits, one decimal mark, exponent: nothing else, and finite.
bool parseNumber(const QString& text, bool decimalComma, double& value) {
    std::string ascii;
    ascii.reserve(text.size());
    bool digits = false, mark = false, exponent = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits = true;
            ascii += char(c.unicode());
        } else if ((c == '.' || (decimalComma && c == ',')) && !mark && !exponent) {
            mark = true;
            ascii += '.';
        } else if ((c == 'e' || c == 'E') && digits && !exponent) {
            exponent = true;
            ascii += 'e';
            if (i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '-')) ascii += char(text[++i].unicode());
        } else if ((c == '+' || c == '-') && i == 0) {
            if (c == '-') ascii += '-';
        } else {
            return false;
        }
    }
    if (!digits) return false;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    return error == std::errc() && end == ascii.data() + ascii.size() && std::isfinite(value);
}

QString lineList(const QList<int>& lines) {
    QStringList shown;
    for (int i = 0; i < lines.size() && i < kListedLines; ++i) shown << QString::number(lines[i]);
    QString text = shown.join(", ");
    if (lines.size() > kListedLines) text += QStringLiteral(" … (%1 en tout)").arg(lines.size());
    return text;
}

int columnOf(const QString& header) {
    // "A (°)" and "a" both name A; the run number column is "essai".
    QString name = header.section('(', 0, 0).trimmed();
    name = name.section(' ', 0, 0);
    if (name.compare("essai", Qt::CaseInsensitive) == 0) return kColumns;
    for (int v = 0; v < 5; ++v)
        if (name.compare(kVariables[v].symbol, Qt::CaseInsensitive) == 0) return v;
    for (int r = 0; r < 3; ++r)
        if (name.compare(kResults[r].symbol, Qt::CaseInsensitive) == 0) return 5 + r;
    return -1;
}

const char* columnName(int c) { return c < 5 ? kVariables[c].symbol : kResults[c - 5].symbol; }

}  // namespace

MeasurementSheet parseSheet(const QByteArray& bytes) {
    if (bytes.contains('\0')) fail("Ce fichier n'est pas une feuille CSV : il contient des données binaires.");
    QString text = decode(bytes);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    const QStringList lines = text.split('\n');

    int headerLine = 0;
    while (headerLine < lines.size() && lines[headerLine].trimmed().isEmpty()) ++headerLine;
    if (headerLine == lines.size()) fail("La feuille de mesures est vide.");
    const QString header = lines[headerLine];
    const QChar separator = header.contains(';') ? ';' : header.contains('\t') ? '\t' : ',';
    const bool decimalComma = separator != ',';

    // Where each of the eight columns, and the run number, stands.
    std::array<int, kColumns + 1> at;
    at.fill(-1);
    const QStringList titles = cells(QString(header).remove('\r'), separator);
    for (int i = 0; i < titles.size(); ++i) {
        const int c = columnOf(titles[i]);
        if (c < 0) continue;
        if (at[c] >= 0)
            fail(QStringLiteral("Ligne %1 : la colonne « %2 » figure deux fois dans l'en-tête (colonnes %3 et %4).")
                     .arg(headerLine + 1).arg(titles[i]).arg(at[c] + 1).arg(i + 1));
        at[c] = i;
    }
    QStringList missing;
    for (int c = 0; c < kColumns; ++c)
        if (at[c] < 0) missing << columnName(c);
    if (!missing.isEmpty())
        fail(QStringLiteral("Ligne %1 : l'en-tête ne nomme pas %2 %3. Il faut les colonnes A, R, L, C, F, A1, A2 "
                            "et H, dans n'importe quel ordre.")
                 .arg(headerLine + 1)
                 .arg(missing.size() > 1 ? "les colonnes" : "la colonne", missing.join(", ")));

    MeasurementSheet sheet;
    QList<int> blank, noResult, outside;
    int order = 0;
    for (int l = headerLine + 1; l < lines.size(); ++l) {
        const int lineNumber = l + 1;
        const QStringList row = cells(QString(lines[l]).remove('\r'), separator);
        if (std::all_of(row.begin(), row.end(), [](const QString& c) { return c.isEmpty(); })) {
            if (l + 1 < lines.size() || !lines[l].trimmed().isEmpty()) blank << lineNumber;
            continue;
        }
        ++order;
        auto cell = [&](int c) { return at[c] < row.size() ? row[at[c]] : QString(); };
        auto number = [&](int c, double& value) {
            if (!parseNumber(cell(c), decimalComma, value))
                fail(QStringLiteral("Ligne %1, colonne %2 (%3) : « %4 » n'est pas un nombre%5.")
                         .arg(lineNumber).arg(at[c] + 1).arg(columnName(c), cell(c).left(40),
                              decimalComma ? "" : " (avec la virgule pour séparer les colonnes, les décimales "
                                                  "s'écrivent avec un point)"));
        };
        Measurement m{lineNumber, order, {}, {}, {}};
        bool complete = true;
        for (int r = 0; r < 3; ++r) complete = complete && !cell(5 + r).isEmpty();
        if (!complete) {
            noResult << lineNumber;
            continue;
        }
        for (int c = 0; c < kColumns; ++c) {
            if (cell(c).isEmpty())
                fail(QStringLiteral("Ligne %1, colonne %2 (%3) : la valeur manque.")
                         .arg(lineNumber).arg(at[c] + 1).arg(columnName(c)));
            number(c, c < 5 ? m.real[c] : m.results[c - 5]);
        }
        double run = 0;
        if (at[kColumns] >= 0 && parseNumber(cell(kColumns), decimalComma, run) && run == std::floor(run) &&
            std::abs(run) < 1e9)
            m.run = int(run);
        bool inside = true;
        for (int v = 0; v < 5; ++v) {
            m.coded[v] = codedValue(kVariables[v], m.real[v]);
            inside = inside && std::abs(m.coded[v]) <= 1 + 1e-9;
        }
        if (!inside) outside << lineNumber;
        sheet.runs.push_back(m);
    }
    if (!blank.isEmpty()) sheet.warnings << QStringLiteral("Lignes vides ignorées : %1.").arg(lineList(blank));
    if (!noResult.isEmpty())
        sheet.warnings << QStringLiteral("Essais sans résultat A1, A2 ou H, ignorés : lignes %1.").arg(lineList(noResult));
    if (!outside.isEmpty())
        sheet.warnings << QStringLiteral("Réglages hors des plages des curseurs (le modèle y extrapole) : lignes %1.")
                              .arg(lineList(outside));
    return sheet;
}

MeasurementSheet readSheet(const QString& path) {
    const file_safety::ReadResult read = file_safety::readRegularFile(path.toStdString());
    if (read.status == file_safety::ReadStatus::Missing)
        fail(QStringLiteral("Le fichier « %1 » n'existe pas.").arg(path));
    if (read.status != file_safety::ReadStatus::Read) fail(QString::fromStdString(read.error));
    return parseSheet(QByteArray::fromStdString(read.content));
}

}  // namespace etalonnage
