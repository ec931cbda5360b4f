// Can the exercise be solved with the coefficients the simulator uses now?
#pragma once

#include "model.h"
#include "scenario.h"

#include <QString>

struct Optimum {
    Setting coded{};
    std::array<double, 5> real{};
    Prediction prediction;
    double threeVar = 0;  // three_var at the setting
};

struct Solvability {
    Optimum best;
    bool bestMeetsTolerances = false;
    double shareInTolerance = 0;  // of the slider box, on a regular grid
    // Ranges of the predictions over that grid.
    double minAngle = 0, maxAngle = 0, minHeight = 0, maxHeight = 0;
    bool plausible() const { return minAngle >= 90 && maxAngle <= 180 && minHeight >= 0 && maxHeight <= 45; }
};

// The setting of the slider box [-1, 1]^5 that brings three_var lowest: a
// global search on the box, then a local polish.
Optimum findOptimum(const ModelSnapshot& model);

// Points per axis of the grid on which the share and the ranges are taken.
constexpr int kGridPoints = 11;

// Calls visit(x) at every point of the regular grid of the box [-1, 1]^5
// with the given number of points per axis.
template <typename Visit>
void forEachGridPoint(int points, Visit visit) {
    auto coded = [points](int k) { return -1.0 + 2.0 * k / (points - 1); };
    for (int a = 0; a < points; ++a)
        for (int r = 0; r < points; ++r)
            for (int l = 0; l < points; ++l)
                for (int c = 0; c < points; ++c)
                    for (int f = 0; f < points; ++f) visit(Setting{coded(a), coded(r), coded(l), coded(c), coded(f)});
}

// Throws mclError when the models cannot be evaluated.
Solvability checkSolvability(const Scenario& scenario);

// For the window and the report, in French.
QString solvabilityText(const Solvability& s, const Scenario& scenario);
// For `formateur --optimum`.
QByteArray optimumJson(const Solvability& s);
