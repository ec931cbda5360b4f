#include "journal.h"

#include "file_safety.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace {

const QStringList kColumns = {
    "heure", "session", "A", "R", "L", "C", "F", "A1", "A2", "H", "ecart_A1", "ecart_A2",
    "ecart_H", "cout_outillage", "cout_reglage", "cout_total", "essais", "facture"};

QString number(double x) { return QString::number(x, 'g', QLocale::FloatingPointShortest); }

// a - b with no more decimals than its operands have as printed, so that
// 131.4425 - 135 reads -3.5575 and not -3.5575000000000045.
QString difference(double a, double b) {
    const QString ta = number(a), tb = number(b);
    if (ta.contains('e') || tb.contains('e')) return number(a - b);
    auto decimals = [](const QString& t) { return t.contains('.') ? int(t.size() - t.indexOf('.') - 1) : 0; };
    QString text = QString::number(a - b, 'f', std::max(decimals(ta), decimals(tb)));
    if (text.contains('.')) {
        while (text.endsWith('0')) text.chop(1);
        if (text.endsWith('.')) text.chop(1);
    }
    return text == "-0" ? QStringLiteral("0") : text;
}

std::optional<double> toNumber(const QString& text) {
    bool ok = false;
    double value = text.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return value;
}

// One account file: a single number, as the simulator writes it with "%f ".
std::optional<double> readNumberFile(const QString& path, QString* error) {
    const auto read = file_safety::readRegularFile(QFile::encodeName(path).toStdString());
    if (read.status != file_safety::ReadStatus::Read) {
        *error = read.status == file_safety::ReadStatus::Refused
                     ? QString::fromStdString(read.error)
                     : QStringLiteral("%1 est illisible").arg(QDir::toNativeSeparators(path));
        return std::nullopt;
    }
    auto value = toNumber(QString::fromLatin1(read.content));
    if (!value) *error = QStringLiteral("%1 ne contient pas un nombre").arg(QDir::toNativeSeparators(path));
    return value;
}

// "K1=v1,   K2=v2, ..." with the keys in the given order.
bool parseLine(const QString& line, const QStringList& keys, double* values) {
    const QStringList fields = line.split(',');
    if (fields.size() != keys.size()) return false;
    for (int i = 0; i < keys.size(); ++i) {
        const QString field = fields[i].trimmed();
        const QString prefix = keys[i] + '=';
        if (!field.startsWith(prefix)) return false;
        auto value = toNumber(field.mid(prefix.size()));
        if (!value) return false;
        values[i] = *value;
    }
    return true;
}

bool close(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(a)); }

}  // namespace

std::optional<Account> readAccount(const QString& dataFolder, QString* error) {
    const QDir dir(dataFolder);
    auto tooling = readNumberFile(dir.filePath("CoutO.dat"), error);
    if (!tooling) return std::nullopt;
    auto adjustment = readNumberFile(dir.filePath("CoutR.dat"), error);
    if (!adjustment) return std::nullopt;
    auto count = readNumberFile(dir.filePath("Nb_essai.dat"), error);
    if (!count) return std::nullopt;
    return Account{*tooling, *adjustment, static_cast<int>(std::lround(*count))};
}

bool parseSettingsLog(const QString& text, Trial& trial, QString* error) {
    const QStringList lines = text.split('\n');
    double results[3];
    if (lines.size() < 2 || !parseLine(lines[0], {"A", "R", "L", "C", "F"}, trial.setting.data()) ||
        !parseLine(lines[1], {"A1", "A2", "H"}, results)) {
        *error = QStringLiteral("config_outillage.dat n'a pas la forme attendue");
        return false;
    }
    trial.A1 = results[0];
    trial.A2 = results[1];
    trial.H = results[2];
    return true;
}

QStringList csvColumns() { return kColumns; }
QString csvHeader() { return kColumns.join(','); }

QStringList csvFields(const Trial& t) {
    QStringList f{t.time.toString(Qt::ISODateWithMs), t.session};
    for (double v : t.setting) f << number(v);
    f << number(t.A1) << number(t.A2) << number(t.H) << difference(t.A1, kTargetA1)
      << difference(t.A2, kTargetA2) << difference(t.H, kTargetH) << number(t.tooling)
      << number(t.adjustment) << number(t.total()) << QString::number(t.count)
      << (t.charged ? "oui" : "non");
    return f;
}

QString csvRow(const Trial& t) { return csvFields(t).join(','); }

std::optional<Trial> parseCsvRow(const QString& line) {
    const QStringList f = line.split(',');
    if (f.size() != kColumns.size()) return std::nullopt;
    Trial t;
    t.time = QDateTime::fromString(f[0], Qt::ISODateWithMs);
    bool sessionOk = false, countOk = false;
    t.session = f[1];
    const int session = f[1].toInt(&sessionOk);
    t.count = f[16].toInt(&countOk);
    if (!t.time.isValid() || !sessionOk || session < 1 || !countOk || t.count < 1) return std::nullopt;
    std::array<double, 14> v;
    for (std::size_t i = 0; i < v.size(); ++i) {
        auto x = toNumber(f[int(i) + 2]);
        if (!x || !std::isfinite(*x)) return std::nullopt;
        v[i] = *x;
    }
    std::copy(v.begin(), v.begin() + 5, t.setting.begin());
    t.A1 = v[5];
    t.A2 = v[6];
    t.H = v[7];
    t.tooling = v[11];
    t.adjustment = v[12];
    if (f[17] != "oui" && f[17] != "non") return std::nullopt;
    t.charged = f[17] == "oui";
    // The derived columns must agree: a row that was edited by hand does not.
    if (!close(v[8], t.deviationA1()) || !close(v[9], t.deviationA2()) ||
        !close(v[10], t.deviationH()) || !close(v[13], t.total()))
        return std::nullopt;
    return t;
}

JournalFile::JournalFile(QString path) : path_(std::move(path)) {}

QString JournalFile::load() {
    trials_.clear();
    const std::string path = QFile::encodeName(path_).toStdString();
    const auto read = file_safety::readRegularFile(path);
    if (read.status == file_safety::ReadStatus::Missing) return {};
    if (read.status == file_safety::ReadStatus::Refused) return QString::fromStdString(read.error);
    if (read.status != file_safety::ReadStatus::Read)
        return QStringLiteral("Le journal %1 est illisible.").arg(QDir::toNativeSeparators(path_));
    const QByteArray content = QByteArray::fromStdString(read.content);

    QList<QByteArray> lines = content.split('\n');
    // A last line without its line end was cut short.
    if (lines.last().isEmpty()) lines.removeLast();
    // A journal opened and saved on another system may end its lines with CR LF.
    for (QByteArray& line : lines)
        if (line.endsWith('\r')) line.chop(1);
    if (lines.isEmpty()) return {};

    QByteArray bad;
    if (QString::fromUtf8(lines.first()) != csvHeader()) {
        bad = content;
    } else {
        for (int i = 1; i < lines.size(); ++i) {
            const bool complete = i < lines.size() - 1 || content.endsWith('\n');
            auto trial = complete ? parseCsvRow(QString::fromUtf8(lines[i])) : std::nullopt;
            if (trial)
                trials_.push_back(*trial);
            else
                bad += lines[i] + '\n';
        }
    }
    if (bad.isEmpty()) return {};

    // Set aside in a new file, then the good rows in place of the journal,
    // neither through a link that is not the user's.
    std::string badPath;
    QByteArray good = csvHeader().toUtf8() + '\n';
    for (const Trial& t : trials_) good += csvRow(t).toUtf8() + '\n';
    auto repaired = file_safety::setAside(path, bad.toStdString(), badPath);
    if (repaired.ok()) repaired = file_safety::replaceFile(path, good.toStdString());
    if (!repaired.ok())
        return QStringLiteral("Le journal %1 est endommagé et n'a pas pu être réparé : %2")
            .arg(QDir::toNativeSeparators(path_), QString::fromStdString(repaired.error));
    return QStringLiteral("Le journal était endommagé ou d'une autre version : %1 ligne(s) mises de côté "
                          "dans %2, %3 essai(s) conservé(s).")
        .arg(bad.count('\n'))
        .arg(QDir::toNativeSeparators(QFile::decodeName(badPath.c_str())))
        .arg(trials_.size());
}

bool JournalFile::append(const Trial& trial, QString* error) {
    QByteArray line = csvRow(trial).toUtf8() + '\n';
    // A new journal gets its header in the same write as its first row.
    if (QFileInfo(path_).size() == 0) line.prepend(csvHeader().toUtf8() + '\n');
    const auto written = file_safety::appendToFile(QFile::encodeName(path_).toStdString(), line.toStdString());
    if (!written.ok()) {
        *error = QStringLiteral("Impossible d'écrire dans %1 : %2")
                     .arg(QDir::toNativeSeparators(path_), QString::fromStdString(written.error));
        return false;
    }
    trials_.push_back(trial);
    return true;
}

std::vector<Trial> sessionTrials(const std::vector<Trial>& all, const QString& session) {
    std::vector<Trial> out;
    for (const Trial& t : all)
        if (t.session == session) out.push_back(t);
    return out;
}
