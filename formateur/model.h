// What the console takes from the bending model and, for the profile
// geometry, from the simulator's own program function calcul_pts.
#pragma once

#include "bending_model.h"

#include <QPointF>
#include <QVector>

#include <array>

// Runs the initialisers of the profile's modules; once per process.
void initializeSimulatorModules();

using Setting = bending::Coded;  // coded A, R, L, C, F

struct Prediction {
    double A1 = 0, A2 = 0, H = 0;
};

// The three models as they stand now, captured once: the simulator reads the
// coefficient files at every trial, which is too slow for a search.
class ModelSnapshot {
public:
    explicit ModelSnapshot(const bending::ModelRows& rows) : rows_(rows) {}
    // The rows the simulator would take now from the working folder's poly/.
    // Throws mclError for a damaged coefficient file.
    static ModelSnapshot capture();

    Prediction predict(const Setting& x) const;
    // The squared distance from the target part, as three_var computes it.
    double deviation(const Setting& x) const;

private:
    bending::ModelRows rows_;
};

// The profile of a part through calcul_pts: four points, base first.
QVector<QPointF> profilePoints(double A1, double A2, double H);

// Real value of a coded one for variable i (A, R, L, C, F).
double realValue(int i, double coded);
