// The simulator's two charts: the sketch of the target part with its
// dimension marks, and the profiles of the part, computed, initial and
// target, on axes kept in ax.
#pragma once

#include "array.h"

#include <array>

// A1, A2 and H at a coded setting, as var_ returns them.
struct Prediction {
    mxArray A1, A2, H;
};
Prediction predict(const std::array<mxArray, 5>& coded);
// The profile of the part a prediction describes.
mxArray profileOf(const Prediction& p);
// The profile at the press's initial setting.
mxArray initialProfile();

void drawTargetSketch();
// Before any trial: the initial and the target profile.
void drawStartChart(const mxArray& liste_initiale);
// The chart from nothing: the computed, the initial and the target profile.
void redrawChart(const mxArray& liste, const mxArray& liste_initiale);

// Called by the main module's initialiser and terminator.
void initializeMainChart();
void terminateMainChart();
