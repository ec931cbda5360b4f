// What the program does without a window: the plan sheet, the fit, the save.
#pragma once

#include "plan.h"

#include <QString>

#include <cstdint>

namespace etalonnage {

struct PlanRequest {
    QString csv, pdf;  // pdf may be empty
    int centres = kDefaultCentres;
    std::uint64_t seed = 0;
};

struct FitRequest {
    QString sheet, report;  // report may be empty
    bool json = false, save = false;
};

// Each returns the exit status: 0 done, 1 refused (the message on standard error).
int runPlan(const PlanRequest& r);
int runFit(const FitRequest& r);

}  // namespace etalonnage
