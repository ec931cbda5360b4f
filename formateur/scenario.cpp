#include "scenario.h"

#include "file_safety.h"

#include <QFile>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

const QString kVersionLine = QStringLiteral("version=1");

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

bool Scenario::meets(double A1, double A2, double H) const {
    return std::abs(A1 - kTargetA1) <= toleranceA1 && std::abs(A2 - kTargetA2) <= toleranceA2 &&
           std::abs(H - kTargetH) <= toleranceH;
}

double Scenario::distance(const Trial& t) const {
    return std::max({std::abs(t.deviationA1()) / toleranceA1, std::abs(t.deviationA2()) / toleranceA2,
                     std::abs(t.deviationH()) / toleranceH});
}

QString loadScenario(const QString& path, Scenario& scenario) {
    scenario = Scenario{};
    const auto read = file_safety::readRegularFile(QFile::encodeName(path).toStdString());
    if (read.status == file_safety::ReadStatus::Missing) return {};
    if (read.status == file_safety::ReadStatus::Refused) return QString::fromStdString(read.error);
    if (read.status != file_safety::ReadStatus::Read) return QStringLiteral("Le scénario %1 est illisible.").arg(path);
    const QByteArray content = QByteArray::fromStdString(read.content);

    const QStringList lines = QString::fromUtf8(content).replace("\r\n", "\n").split('\n', Qt::SkipEmptyParts);
    QStringList bad, refusals;
    bool versionSeen = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        QString refusal;
        if (line == kVersionLine)
            versionSeen = true;
        else if (!applyLine(line, scenario, &refusal))
            bad << line;
        if (!refusal.isEmpty()) refusals << refusal;
    }
    if (!versionSeen) {
        // From another version: none of its values is trusted.
        scenario = Scenario{};
        bad = lines;
        refusals.clear();
    }
    if (bad.isEmpty()) return {};

    std::string badPath;
    const bool setAside =
        file_safety::setAside(QFile::encodeName(path).toStdString(), (bad.join('\n') + '\n').toStdString(), badPath).ok();
    if (!setAside || !saveScenario(path, scenario))
        return QStringLiteral("Le scénario %1 est endommagé et n'a pas pu être réparé.").arg(path);
    const QString refused = refusals.isEmpty() ? QString() : " (" + refusals.join(" ; ") + ")";
    return QStringLiteral("Le scénario était endommagé ou d'une autre version : %1 ligne(s) mises de côté "
                          "dans %2%3, valeurs par défaut pour ces réglages.")
        .arg(bad.size())
        .arg(QFile::decodeName(badPath.c_str()), refused);
}

bool saveScenario(const QString& path, const Scenario& scenario) {
    return file_safety::replaceFile(QFile::encodeName(path).toStdString(), scenarioText(scenario).toStdString()).ok();
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
