#include "replay.h"

#include "coefficient_file.h"
#include "coefficient_files.h"
#include "coefficient_history.h"
#include "errors.h"
#include "facts.h"
#include "file_safety.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

const QString kBuiltIn = QStringLiteral("intégrés");

// Each model's candidate contents: the file in poly/, then its kept versions.
std::array<std::vector<std::string>, 3> candidateContents(const std::string& polyFolder) {
    std::array<std::vector<std::string>, 3> contents;
    for (std::size_t m = 0; m < contents.size(); ++m) {
        std::vector<std::string> paths{bending::coefficientFilePath(polyFolder, facts::kModels[m].name)};
        for (const bending::CoefficientVersion& v : bending::coefficientHistory(polyFolder, facts::kModels[m].name))
            paths.push_back(v.path);
        for (const std::string& path : paths) {
            file_safety::ReadResult read = file_safety::readRegularFile(path);
            if (read.status == file_safety::ReadStatus::Read &&
                std::find(contents[m].begin(), contents[m].end(), read.content) == contents[m].end())
                contents[m].push_back(std::move(read.content));
        }
    }
    return contents;
}

// The rows of the three contents whose fingerprint is the one sought.
std::optional<bending::ModelRows> rowsWithFingerprint(const std::string& polyFolder, const QString& fingerprint) {
    const auto contents = candidateContents(polyFolder);
    for (const std::string& a1 : contents[0])
        for (const std::string& a2 : contents[1])
            for (const std::string& h : contents[2]) {
                QCryptographicHash hash(QCryptographicHash::Sha256);
                for (const std::string* c : {&a1, &a2, &h}) hash.addData(QByteArrayView(c->data(), qsizetype(c->size())));
                if (QString::fromLatin1(hash.result().toHex()) != fingerprint) continue;
                bending::ModelRows rows;
                QString problem;
                const std::array<const std::string*, 3> files{&a1, &a2, &h};
                for (std::size_t m = 0; m < rows.size(); ++m) {
                    const auto row = parseCoefficients(*files[m], &problem);
                    if (!row) return std::nullopt;
                    rows[m] = *row;
                }
                return rows;
            }
    return std::nullopt;
}

}  // namespace

TrialModels::TrialModels(std::string polyFolder) : polyFolder_(std::move(polyFolder)) {}

const TrialModels::Found& TrialModels::forFingerprint(const QString& fingerprint) {
    auto known = found_.find(fingerprint);
    if (known == found_.end()) known = found_.emplace(fingerprint, find(fingerprint)).first;
    return known->second;
}

TrialModels::Found TrialModels::find(const QString& fingerprint) const {
    if (fingerprint == kBuiltIn) return {ModelSnapshot(bending::builtInRows()), {}};
    bending::ModelRows current = bending::builtInRows();
    QString currentFingerprint = kBuiltIn, unreadable;
    try {
        current = bending::rowsInUse(polyFolder_);
        currentFingerprint = bending::coefficientFingerprint(polyFolder_);
    } catch (const mclError& e) {
        unreadable = QStringLiteral(" (%1 ; coefficients intégrés utilisés)").arg(QString::fromUtf8(e.what()));
    }
    if (fingerprint == currentFingerprint) return {ModelSnapshot(current), {}};
    if (fingerprint.isEmpty())
        return {ModelSnapshot(current),
                QStringLiteral("Essai enregistré sans l'empreinte de son modèle : piste calculée avec le modèle "
                               "actuel%1.").arg(unreadable)};
    if (const auto kept = rowsWithFingerprint(polyFolder_, fingerprint)) return {ModelSnapshot(*kept), {}};
    return {ModelSnapshot(current),
            QStringLiteral("Modèle de cet essai (empreinte %1…) introuvable dans poly/ et poly/historique/ : piste "
                           "calculée avec le modèle actuel%2.").arg(fingerprint.left(12), unreadable)};
}

double predictedDistance(const ModelSnapshot& model, const Setting& coded, const Scenario& scenario) {
    const Prediction p = model.predict(coded);
    Trial t;
    t.A1 = p.A1, t.A2 = p.A2, t.H = p.H;
    return scenario.distance(t);
}

namespace {

struct Quadratic {
    double a = 0, b = 0, c = 0;
};

// The real roots of a x² + b x + c in [-1, 1].
void addRoots(const Quadratic& q, std::vector<double>& out) {
    const double scale = std::max({std::abs(q.a), std::abs(q.b), std::abs(q.c)});
    if (scale == 0) return;
    if (std::abs(q.a) <= 1e-12 * scale) {
        if (q.b != 0) out.push_back(-q.c / q.b);
        return;
    }
    const double d = q.b * q.b - 4 * q.a * q.c;
    if (d < 0) return;
    // The root away from cancellation, then the other from their product.
    const double r = -(q.b + std::copysign(std::sqrt(d), q.b)) / 2;
    out.push_back(r / q.a);
    if (r != 0) out.push_back(q.c / r);
}

}  // namespace

Piste bestMoveOf(int variable, const ModelSnapshot& model, const Setting& coded, const Scenario& scenario) {
    // The deviations in tolerances along the variable: each a quadratic, found from three points.
    auto deviations = [&](double x) {
        Setting s = coded;
        s[std::size_t(variable)] = x;
        const Prediction p = model.predict(s);
        return std::array<double, 3>{(p.A1 - kTargetA1) / scenario.toleranceA1, (p.A2 - kTargetA2) / scenario.toleranceA2,
                                     (p.H - kTargetH) / scenario.toleranceH};
    };
    const auto low = deviations(-1), mid = deviations(0), high = deviations(1);
    std::array<Quadratic, 3> d;
    for (std::size_t k = 0; k < d.size(); ++k) d[k] = {(high[k] + low[k]) / 2 - mid[k], (high[k] - low[k]) / 2, mid[k]};
    std::vector<double> candidates{-1, 1};
    for (std::size_t k = 0; k < d.size(); ++k) {
        if (d[k].a != 0) candidates.push_back(-d[k].b / (2 * d[k].a));
        addRoots(d[k], candidates);
        for (std::size_t j = k + 1; j < d.size(); ++j)
            for (double sign : {1.0, -1.0})
                addRoots({d[k].a - sign * d[j].a, d[k].b - sign * d[j].b, d[k].c - sign * d[j].c}, candidates);
    }
    Piste best{variable, 0, INFINITY};
    for (double x : candidates) {
        if (!(x >= -1 && x <= 1)) continue;
        Setting s = coded;
        s[std::size_t(variable)] = x;
        const double distance = predictedDistance(model, s, scenario);
        if (distance < best.distance) best = {variable, realValue(variable, x), distance};
    }
    return best;
}

Piste bestSingleMove(const ModelSnapshot& model, const Setting& coded, const Scenario& scenario) {
    Piste best = bestMoveOf(0, model, coded, scenario);
    for (int i = 1; i < 5; ++i) {
        const Piste other = bestMoveOf(i, model, coded, scenario);
        if (other.distance < best.distance) best = other;
    }
    return best;
}

namespace {

// To the hundredth, which is finer than a slider moves, without trailing zeros.
QString frenchNumber(double value) { return QLocale(QLocale::French).toString(std::round(value * 100) / 100, 'g', 8); }

}  // namespace

QString realText(int variable, double value) {
    const QString unit = QString::fromUtf8(facts::kVariables[std::size_t(variable)].unit);
    const QString number = frenchNumber(value);
    return unit == QStringLiteral("°") ? number + unit : number + QChar(0x00A0) + unit;
}

QStringList ReplayStep::changeTexts() const {
    if (!previous) return {QStringLiteral("premier essai de la session")};
    QStringList moved, kept;
    for (std::size_t i = 0; i < facts::kVariables.size(); ++i) {
        const QString symbol = QString::fromUtf8(facts::kVariables[i].symbol);
        const auto change = std::find_if(changes.begin(), changes.end(), [i](const Change& c) { return c.variable == int(i); });
        if (change == changes.end())
            kept << symbol + QStringLiteral(" inchangé");
        else
            moved << QStringLiteral("%1 : %2 → %3")
                         .arg(symbol, frenchNumber(change->before), realText(int(i), change->after));
    }
    return moved + kept;
}

QString ReplayStep::chargeText() const {
    if (!trial.charged) return QStringLiteral("non facturé");
    QStringList parts;
    if (toolingCharge != 0) parts << QStringLiteral("outillage %1 €").arg(fr(toolingCharge, 0));
    if (adjustmentCharge != 0) parts << QStringLiteral("réglage %1 €").arg(fr(adjustmentCharge, 0));
    return parts.isEmpty() ? QStringLiteral("rien de facturé") : parts.join(" + ");
}

QString ReplayStep::pisteText() const {
    const int i = piste.variable;
    const double now = trial.setting[std::size_t(i)];
    const QString symbol = QString::fromUtf8(facts::kVariables[std::size_t(i)].symbol);
    if (piste.distance >= distance - 1e-9 || std::abs(piste.value - now) < 0.005)
        return QStringLiteral("Aucune variable seule ne rapproche cet essai de la cible : il faut en bouger plusieurs.");
    return QStringLiteral("Piste : %1 de %2 à %3 (%4 %5) → plus grand écart %6 fois la tolérance au lieu de %7.")
        .arg(symbol, realText(i, now), realText(i, piste.value),
             piste.value > now ? QStringLiteral("+") : QStringLiteral("−"),
             realText(i, std::abs(piste.value - now)), fr(piste.distance, 2), fr(distance, 2));
}

std::vector<ReplayStep> replaySteps(std::vector<Trial> session, const Scenario& scenario, TrialModels& models,
                                    const std::map<int, QString>& comments) {
    std::stable_sort(session.begin(), session.end(), [](const Trial& a, const Trial& b) { return a.number < b.number; });
    std::vector<ReplayStep> steps;
    steps.reserve(session.size());
    for (std::size_t n = 0; n < session.size(); ++n) {
        ReplayStep step;
        step.trial = session[n];
        const Trial* before = n > 0 ? &session[n - 1] : nullptr;
        if (before) step.previous = *before;
        for (std::size_t i = 0; i < step.trial.setting.size(); ++i)
            if (before && std::abs(step.trial.setting[i] - before->setting[i]) > 1e-9)
                step.changes.push_back({int(i), before->setting[i], step.trial.setting[i]});
        // The account after the trial, less the account after the one before.
        step.toolingCharge = step.trial.tooling - (before ? before->tooling : 0);
        step.adjustmentCharge = step.trial.adjustment - (before ? before->adjustment : 0);
        step.verdict = judge(step.trial, scenario);
        step.distance = scenario.distance(step.trial);
        const TrialModels::Found& found = models.forFingerprint(step.trial.fingerprint);
        Setting coded;
        for (std::size_t i = 0; i < coded.size(); ++i) coded[i] = bending::codedValue(facts::kVariables[i], step.trial.setting[i]);
        step.piste = bestSingleMove(found.model, coded, scenario);
        if (before && before->fingerprint != step.trial.fingerprint)
            step.notes << QStringLiteral("Le modèle a changé à cet essai : les coefficients évalués ne sont plus ceux "
                                         "de l'essai précédent.");
        if (before ? before->exercise != step.trial.exercise : step.trial.exercise != 0)
            step.notes << (step.trial.exercise == 0 ? QStringLiteral("Essai hors exercice.")
                                                    : QStringLiteral("Essai de l'exercice n° %1.").arg(step.trial.exercise));
        if (!found.note.isEmpty() && (!before || before->fingerprint != step.trial.fingerprint)) step.notes << found.note;
        const auto comment = comments.find(step.trial.number);
        if (comment != comments.end()) step.comment = comment->second;
        steps.push_back(std::move(step));
    }
    return steps;
}

QByteArray replayJson(const std::vector<ReplayStep>& steps) {
    QJsonArray list;
    for (const ReplayStep& s : steps) {
        QJsonObject o{{"numero", s.trial.number}};
        for (std::size_t i = 0; i < s.trial.setting.size(); ++i)
            o.insert(QString::fromUtf8(facts::kVariables[i].symbol), s.trial.setting[i]);
        o.insert("A1", s.trial.A1);
        o.insert("A2", s.trial.A2);
        o.insert("H", s.trial.H);
        o.insert("ecart", s.distance);
        QJsonArray changes;
        for (const Change& c : s.changes)
            changes.append(QJsonObject{{"variable", QString::fromUtf8(facts::kVariables[std::size_t(c.variable)].symbol)},
                                       {"avant", c.before},
                                       {"apres", c.after}});
        o.insert("changements", changes);
        o.insert("facture", QJsonObject{{"facture", s.trial.charged},
                                        {"outillage", s.toolingCharge},
                                        {"reglage", s.adjustmentCharge}});
        o.insert("piste", QJsonObject{{"variable", QString::fromUtf8(facts::kVariables[std::size_t(s.piste.variable)].symbol)},
                                      {"valeur", s.piste.value},
                                      {"ecart", s.piste.distance}});
        o.insert("commentaire", s.comment);
        list.append(o);
    }
    return QJsonDocument(list).toJson(QJsonDocument::Indented);
}
