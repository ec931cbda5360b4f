#include "model.h"

#include "calcul_pts.h"
#include "deg2rad.h"
#include "facts.h"
#include "journal.h"
#include "three_var.h"
#include "v_reelle2cr.h"
#include "var_.h"

void initializeSimulatorModules() {
    InitializeModule_var_();
    InitializeModule_three_var();
    InitializeModule_calcul_pts();
    InitializeModule_deg2rad();
    InitializeModule_v_reelle2cr();
}

double ModelSnapshot::Quadratic::at(const Setting& x) const {
    double y = constant;
    for (int i = 0; i < 5; ++i) {
        y += (linear[i] + square[i] * x[i]) * x[i];
        for (int j = i + 1; j < 5; ++j) y += product[i][j] * x[i] * x[j];
    }
    return y;
}

ModelSnapshot ModelSnapshot::capture() {
    const auto rows = var_CoefficientRows();
    ModelSnapshot s;
    for (int m = 0; m < 3; ++m) {
        // The files' order: constant, linear, products (i < j), squares.
        Quadratic& q = s.models_[m];
        const auto& r = rows[m];
        q.constant = r[0];
        std::size_t k = 1;
        for (int i = 0; i < 5; ++i) q.linear[i] = r[k++];
        for (int i = 0; i < 5; ++i)
            for (int j = i + 1; j < 5; ++j) q.product[i][j] = r[k++];
        for (int i = 0; i < 5; ++i) q.square[i] = r[k++];
    }
    return s;
}

Prediction ModelSnapshot::predict(const Setting& x) const {
    return {models_[0].at(x), models_[1].at(x), models_[2].at(x)};
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

double realValue(int i, double coded) {
    const facts::Variable& v = facts::kVariables[i];
    return mlfV_reelle2cr(mxArray::scalar(coded), mxArray::scalar(v.max), mxArray::scalar(v.min)).at(0);
}
