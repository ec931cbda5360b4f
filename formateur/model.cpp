#include "model.h"

#include "calcul_pts.h"
#include "deg2rad.h"
#include "facts.h"
#include "journal.h"
#include "three_var.h"
#include "v_reelle2cr.h"
#include "var_.h"

namespace {

std::array<double, 3> evaluate(const Setting& x) {
    mxArray A2, H;
    mxArray A1 = mlfVar_(&A2, &H, mxArray::scalar(x[0]), mxArray::scalar(x[1]), mxArray::scalar(x[2]),
                         mxArray::scalar(x[3]), mxArray::scalar(x[4]));
    return {A1.at(0), A2.at(0), H.at(0)};
}

Setting unit(int i, double value = 1) {
    Setting x{};
    x[i] = value;
    return x;
}

}  // namespace

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
    // f(0) is the constant; f(±e_i) give the linear and square terms;
    // f(e_i + e_j) then gives the product term.
    const auto centre = evaluate({});
    std::array<std::array<double, 3>, 5> plus, minus;
    for (int i = 0; i < 5; ++i) {
        plus[i] = evaluate(unit(i));
        minus[i] = evaluate(unit(i, -1));
    }
    ModelSnapshot s;
    for (int m = 0; m < 3; ++m) {
        Quadratic& q = s.models_[m];
        q.constant = centre[m];
        for (int i = 0; i < 5; ++i) {
            q.linear[i] = (plus[i][m] - minus[i][m]) / 2;
            q.square[i] = (plus[i][m] + minus[i][m]) / 2 - centre[m];
        }
    }
    for (int i = 0; i < 5; ++i)
        for (int j = i + 1; j < 5; ++j) {
            Setting x = unit(i);
            x[j] = 1;
            const auto both = evaluate(x);
            for (int m = 0; m < 3; ++m)
                s.models_[m].product[i][j] = both[m] - plus[i][m] - plus[j][m] + centre[m];
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
