#include "model.h"

#include "calcul_pts.h"
#include "coefficient_file.h"
#include "deg2rad.h"
#include "facts.h"
#include "journal.h"

void initializeSimulatorModules() {
    InitializeModule_calcul_pts();
    InitializeModule_deg2rad();
}

ModelSnapshot ModelSnapshot::capture() { return ModelSnapshot(bending::rowsInUse(facts::kCoefficientFolder)); }

Prediction ModelSnapshot::predict(const Setting& x) const {
    return {bending::evaluate(rows_[0], x), bending::evaluate(rows_[1], x), bending::evaluate(rows_[2], x)};
}

double ModelSnapshot::deviation(const Setting& x) const {
    const Prediction p = predict(x);
    auto sq = [](double d) { return d * d; };
    return sq(kTargetA1 - p.A1) + sq(kTargetA2 - p.A2) + sq(kTargetH - p.H);
}

QVector<QPointF> profilePoints(double A1, double A2, double H) {
    const mxArray points = mlfCalcul_pts(mxArray::scalar(A1), mxArray::scalar(A2), mxArray::scalar(H));
    QVector<QPointF> out;
    for (std::size_t r = 0; r < 4; ++r) out.append({points.at(r, 0), points.at(r, 1)});
    return out;
}

double realValue(int i, double coded) { return bending::realValue(facts::kVariables[i], coded); }
