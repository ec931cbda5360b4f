// The printed pages: the plan to fill in on the shop floor, and the report
// of a fit.
#pragma once

#include "calibration.h"
#include "plan.h"

#include <QString>

namespace etalonnage {

// Each returns an empty text when written, otherwise why not.
QString writePlanCsv(const Plan& plan, const QString& file);
QString writePlanPdf(const Plan& plan, const QString& file);
QString writeReportPdf(const Calibration& c, const QString& sheetName, const QString& file);

// Shared by the window and the pages.
QString fr(double x, int decimals);
QString planSummary(const Plan& plan);
QString fitSummary(const ModelFit& f);

}  // namespace etalonnage
