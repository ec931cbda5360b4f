// The two charts of a fitted model: measured against predicted with the
// diagonal (the current model's predictions beside the new ones), and the
// residuals against the predictions.
#pragma once

#include "calibration.h"

class QCustomPlot;

namespace etalonnage {

void drawAgreement(QCustomPlot* chart, const Calibration& c, int model);
void drawResiduals(QCustomPlot* chart, const Calibration& c, int model);

}  // namespace etalonnage
