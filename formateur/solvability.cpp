#include "solvability.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <nlopt.hpp>

#include <algorithm>
#include <limits>

namespace {

double objective(const std::vector<double>& x, std::vector<double>& /*gradient*/, void* data) {
    return static_cast<const ModelSnapshot*>(data)->deviation({x[0], x[1], x[2], x[3], x[4]});
}

void minimise(nlopt::algorithm algorithm, const ModelSnapshot& model, std::vector<double>& x, int evaluations) {
    nlopt::opt opt(algorithm, 5);
    opt.set_lower_bounds(-1.0);
    opt.set_upper_bounds(1.0);
    opt.set_min_objective(objective, const_cast<ModelSnapshot*>(&model));
    opt.set_maxeval(evaluations);
    opt.set_xtol_abs(1e-9);
    opt.set_stopval(1e-16);
    double value = 0;
    try {
        opt.optimize(x, value);
    } catch (const nlopt::roundoff_limited&) {
        // x holds the best point found, which is what is wanted here.
    }
}

}  // namespace

Optimum findOptimum(const ModelSnapshot& model) {
    std::vector<double> x(5, 0.0);
    minimise(nlopt::GN_DIRECT_L, model, x, 4000);
    minimise(nlopt::LN_BOBYQA, model, x, 2000);
    Optimum o;
    std::copy(x.begin(), x.end(), o.coded.begin());
    for (int i = 0; i < 5; ++i) o.real[i] = realValue(i, o.coded[i]);
    o.prediction = model.predict(o.coded);
    o.threeVar = model.deviation(o.coded);
    return o;
}

Solvability checkSolvability(const Scenario& scenario) {
    const ModelSnapshot model = ModelSnapshot::capture();
    Solvability s;
    s.best = findOptimum(model);
    const Prediction& p = s.best.prediction;
    s.bestMeetsTolerances = scenario.meets(p.A1, p.A2, p.H);
    s.minAngle = s.minHeight = std::numeric_limits<double>::infinity();
    s.maxAngle = s.maxHeight = -std::numeric_limits<double>::infinity();
    long inside = 0, total = 0;
    forEachGridPoint(kGridPoints, [&](const Setting& x) {
        const Prediction q = model.predict(x);
        s.minAngle = std::min({s.minAngle, q.A1, q.A2});
        s.maxAngle = std::max({s.maxAngle, q.A1, q.A2});
        s.minHeight = std::min(s.minHeight, q.H);
        s.maxHeight = std::max(s.maxHeight, q.H);
        inside += scenario.meets(q.A1, q.A2, q.H);
        ++total;
    });
    s.shareInTolerance = double(inside) / double(total);
    return s;
}

QString solvabilityText(const Solvability& s, const Scenario& scenario) {
    const Optimum& o = s.best;
    QString text =
        QStringLiteral("Meilleur réglage : A = %1°, R = %2 mm, L = %3 mm, C = %4 mm, F = %5 bars.\n")
            .arg(fr(o.real[0], 2), fr(o.real[1], 2), fr(o.real[2], 2), fr(o.real[3], 2), fr(o.real[4], 2));
    text += QStringLiteral("Prévu : A1 = %1°, A2 = %2°, H = %3 mm — %4.\n")
                .arg(fr(o.prediction.A1, 2), fr(o.prediction.A2, 2), fr(o.prediction.H, 2),
                     s.bestMeetsTolerances ? QStringLiteral("exercice faisable")
                                           : QStringLiteral("exercice infaisable avec ces tolérances"));
    text += QStringLiteral("Part du domaine des curseurs dans les tolérances (±%1°, ±%2°, ±%3 mm) : %4 %.")
                .arg(fr(scenario.toleranceA1, 2), fr(scenario.toleranceA2, 2), fr(scenario.toleranceH, 2),
                     fr(100 * s.shareInTolerance, 2));
    if (!s.plausible())
        text += QStringLiteral("\nAttention : sur le domaine, les angles prévus vont de %1° à %2° et la hauteur "
                               "de %3 à %4 mm, hors des valeurs physiquement plausibles (90°–180°, 0–45 mm).")
                    .arg(fr(s.minAngle, 1), fr(s.maxAngle, 1), fr(s.minHeight, 1), fr(s.maxHeight, 1));
    return text;
}

QByteArray optimumJson(const Solvability& s) {
    const Optimum& o = s.best;
    QJsonArray coded;
    for (double c : o.coded) coded.append(c);
    const QJsonObject json{
        {"A", o.real[0]}, {"R", o.real[1]}, {"L", o.real[2]}, {"C", o.real[3]}, {"F", o.real[4]},
        {"code", coded}, {"A1", o.prediction.A1}, {"A2", o.prediction.A2}, {"H", o.prediction.H},
        {"three_var", o.threeVar}, {"dans_tolerances", s.bestMeetsTolerances},
        {"part_du_domaine", s.shareInTolerance}, {"plausible", s.plausible()}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}
