// What the console takes from the simulator's own program functions: the
// response-surface models (var_) and the profile geometry (calcul_pts).
#pragma once

#include <QPointF>
#include <QVector>

#include <array>

// Runs the initialisers of the modules used here; once per process.
void initializeSimulatorModules();

using Setting = std::array<double, 5>;  // coded A, R, L, C, F

struct Prediction {
    double A1 = 0, A2 = 0, H = 0;
};

// The three models as they stand now, captured once: var_ reads the
// coefficient files (or takes its built-in rows) at every call, which is too
// slow for a search; a quadratic is fixed by 21 of its values, so 21 calls
// to var_ give its coefficients.
class ModelSnapshot {
public:
    // Throws mclError when var_ does (a damaged coefficient file, no poly/).
    static ModelSnapshot capture();

    Prediction predict(const Setting& x) const;
    // The squared distance from the target part, as three_var computes it.
    double deviation(const Setting& x) const;

private:
    // Per model: constant, linear, squares, products (i < j).
    struct Quadratic {
        double constant = 0;
        std::array<double, 5> linear{}, square{};
        std::array<std::array<double, 5>, 5> product{};
        double at(const Setting& x) const;
    };
    std::array<Quadratic, 3> models_;
};

// The profile of a part through calcul_pts: four points, base first.
QVector<QPointF> profilePoints(double A1, double A2, double H);

// Real value of a coded one for variable i (A, R, L, C, F).
double realValue(int i, double coded);
