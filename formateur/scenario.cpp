#include "scenario.h"

#include "file_safety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

const QString kVersionLine = QStringLiteral("version=1");
const QString kNotSaved = QStringLiteral("Le scénario n'est pas enregistré : ");

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

QByteArray scenarioText(const Scenario& s) {
    QByteArray text = "# Console du formateur : tolérances (± degrés, ± mm) et budget (€)\n" +
                      kVersionLine.toUtf8() + '\n';
    for (const ScenarioField& k : scenarioFields())
        text += QByteArray(k.key) + '=' +
                QByteArray::number(s.*k.value, 'g', QLocale::FloatingPointShortest) + '\n';
    return text;
}

// Only the ordinary layout: one "name=value" a line, with a value its field
// can show. What is refused is said in *refusal when the name is known.
bool applyLine(const QString& line, Scenario& s, QString* refusal) {
    const int eq = line.indexOf('=');
    if (eq < 0) return false;
    const QString name = line.left(eq).trimmed();
    bool ok = false;
    const double value = line.mid(eq + 1).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return false;
    for (const ScenarioField& k : scenarioFields()) {
        if (name != k.key) continue;
        const double scaled = value * std::pow(10.0, k.decimals);
        if (value < k.minimum || value > k.maximum) {
            *refusal = QStringLiteral("%1 = %2 refusé : hors de la plage %3 à %4%5")
                           .arg(k.key, line.mid(eq + 1).trimmed(), fr(k.minimum, k.decimals),
                                fr(k.maximum, k.decimals), k.unit);
            return false;
        }
        if (std::abs(scaled - std::round(scaled)) > 1e-6) {
            *refusal = QStringLiteral("%1 = %2 refusé : %3 décimale(s) au plus")
                           .arg(k.key, line.mid(eq + 1).trimmed())
                           .arg(k.decimals);
            return false;
        }
        s.*k.value = value;
        return true;
    }
    return false;
}

}  // namespace

QString fr(double x, int decimals) {
    if (!std::isfinite(x)) return QStringLiteral("valeur invalide");
    // A deviation of -0.0002 shown to three decimals is no deviation: « 0,000 », not « -0,000 ».
    const double shown = std::round(x * std::pow(10.0, decimals)) == 0 ? 0.0 : x;
    return QLocale(QLocale::French).toString(shown, 'f', decimals);
}

const std::vector<ScenarioField>& scenarioFields() {
    static const std::vector<ScenarioField> fields = {
        {"tolerance_A1", "Tolérance A1 ±", &Scenario::toleranceA1, 0.01, 45, 0.1, 2, " °"},
        {"tolerance_A2", "Tolérance A2 ±", &Scenario::toleranceA2, 0.01, 45, 0.1, 2, " °"},
        {"tolerance_H", "Tolérance H ±", &Scenario::toleranceH, 0.01, 45, 0.1, 2, " mm"},
        {"budget", "Budget", &Scenario::budget, 1, 1e7, 350, 0, " €"},
    };
    return fields;
}

bool Scenario::operator==(const Scenario& o) const {
    for (const ScenarioField& k : scenarioFields())
        if (this->*k.value != o.*k.value) return false;
    return true;
}

bool Scenario::meets(double A1, double A2, double H) const {
    return std::abs(A1 - kTargetA1) <= toleranceA1 && std::abs(A2 - kTargetA2) <= toleranceA2 &&
           std::abs(H - kTargetH) <= toleranceH;
}

double Scenario::distance(const Trial& t) const {
    return std::max({std::abs(t.deviationA1()) / toleranceA1, std::abs(t.deviationA2()) / toleranceA2,
                     std::abs(t.deviationH()) / toleranceH});
}

namespace {

// What a scenario file holds: its values, and the lines that could not be used.
struct ScenarioRead {
    Scenario scenario;
    QStringList bad, refusals;
    QString error;  // the file is there but cannot be read
};

ScenarioRead readScenario(const QString& path) {
    ScenarioRead r;
    const auto read = file_safety::readRegularFile(local(path));
    if (read.status == file_safety::ReadStatus::Missing) return r;
    if (read.status == file_safety::ReadStatus::Refused) r.error = QString::fromStdString(read.error);
    if (read.status == file_safety::ReadStatus::Unreadable) r.error = QStringLiteral("Le scénario %1 est illisible.").arg(path);
    if (!r.error.isEmpty()) return r;

    const QStringList lines =
        QString::fromStdString(read.content).replace("\r\n", "\n").split('\n', Qt::SkipEmptyParts);
    bool versionSeen = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        QString refusal;
        if (line == kVersionLine)
            versionSeen = true;
        else if (!applyLine(line, r.scenario, &refusal))
            r.bad << line;
        if (!refusal.isEmpty()) r.refusals << refusal;
    }
    if (!versionSeen) {
        // From another version: none of its values is trusted.
        r.scenario = Scenario{};
        r.bad = lines;
        r.refusals.clear();
    }
    return r;
}

QString notRepaired(const QString& path, const std::string& why) {
    return QStringLiteral("Le scénario %1 est endommagé et n'a pas pu être réparé : %2")
        .arg(path, QString::fromStdString(why));
}

// Sets the damaged lines aside, then writes the scenario; under the file's
// lock. False when the scenario is not written. *message says why, or what
// was set aside.
bool writeScenario(const QString& path, const ScenarioRead& r, QString* message) {
    std::string badPath;
    if (!r.bad.isEmpty()) {
        const auto setAside = file_safety::setAside(local(path), (r.bad.join('\n') + '\n').toStdString(), badPath);
        if (!setAside.ok()) {
            *message = notRepaired(path, setAside.error);
            return false;
        }
    }
    const auto written = file_safety::replaceFile(local(path), scenarioText(r.scenario).toStdString());
    if (!written.ok()) {
        *message = kNotSaved + QString::fromStdString(written.error);
        return false;
    }
    if (!r.bad.isEmpty())
        *message = QStringLiteral("Le scénario était endommagé ou d'une autre version : %1 ligne(s) mises de côté "
                                  "dans %2%3, valeurs par défaut pour ces réglages.")
                       .arg(r.bad.size())
                       .arg(QFile::decodeName(badPath.c_str()),
                            r.refusals.isEmpty() ? QString() : " (" + r.refusals.join(" ; ") + ")");
    return true;
}

QString scenarioLockPath(const QString& path) { return QFileInfo(path).dir().filePath(kScenarioLockFile); }

}  // namespace

QString loadScenario(const QString& path, Scenario& scenario) {
    ScenarioRead read = readScenario(path);
    scenario = read.scenario;
    if (read.bad.isEmpty()) return read.error;
    const file_safety::FileLock lock(local(scenarioLockPath(path)));
    if (!lock.held())
        return notRepaired(path, lock.error());
    // Read again under the lock: another console may have just written it.
    read = readScenario(path);
    scenario = read.scenario;
    QString message = read.error;
    if (message.isEmpty() && !read.bad.isEmpty()) writeScenario(path, read, &message);
    return message;
}

QString saveScenarioField(const QString& path, const ScenarioField& field, double value, Scenario& scenario) {
    const file_safety::FileLock lock(local(scenarioLockPath(path)));
    ScenarioRead read = readScenario(path);
    scenario = read.scenario;
    if (!lock.held()) return kNotSaved + QString::fromStdString(lock.error());
    if (!read.error.isEmpty()) return kNotSaved + read.error;
    read.scenario.*field.value = value;
    QString message;
    if (writeScenario(path, read, &message)) scenario = read.scenario;
    return message;
}

Verdict judge(const Trial& t, const Scenario& s) {
    if (!s.meets(t)) return Verdict::OutOfTolerance;
    return t.total() <= s.budget ? Verdict::InTolerance : Verdict::OverBudget;
}

QString verdictText(Verdict v) {
    switch (v) {
    case Verdict::InTolerance: return QStringLiteral("réussi");
    case Verdict::OverBudget: return QStringLiteral("hors budget");
    case Verdict::OutOfTolerance: return QStringLiteral("hors tolérance");
    }
    return {};
}

QString sessionScore(const std::vector<Trial>& session, const Scenario& s) {
    if (session.empty()) return QStringLiteral("Aucun essai dans cette session.");
    auto first = std::find_if(session.begin(), session.end(), [&](const Trial& t) { return s.meets(t); });
    if (first != session.end())
        return QStringLiteral("Pièce dans les tolérances à l'essai n° %1 pour %2 € (%3 du budget de %4 €).")
            .arg(first->count)
            .arg(fr(first->total(), 0))
            .arg(first->total() <= s.budget ? QStringLiteral("dans la limite") : QStringLiteral("au-delà"))
            .arg(fr(s.budget, 0));
    auto best = std::min_element(session.begin(), session.end(), [&](const Trial& a, const Trial& b) {
        return s.distance(a) < s.distance(b);
    });
    return QStringLiteral("Pas encore dans les tolérances. Meilleur essai n° %1 : écarts A1 %2°, A2 %3°, "
                          "H %4 mm, soit %5 fois la tolérance ; dépensé %6 € sur %7 €.")
        .arg(best->count)
        .arg(fr(best->deviationA1(), 2), fr(best->deviationA2(), 2), fr(best->deviationH(), 2),
             fr(s.distance(*best), 1), fr(session.back().total(), 0), fr(s.budget, 0));
}
