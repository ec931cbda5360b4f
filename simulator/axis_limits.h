#pragma once

#include "array.h"

#include <vector>

// xlim and ylim are one design: they differ only in the two axes properties
// they touch. Each module keeps its own set of these constants.
struct AxisLimitConstants {
    mxArray limitsProperty;
    mxArray modeProperty;
    mxArray type = mxArray::text("type");
    mxArray axes = mxArray::text("axes");
    mxArray mode = mxArray::text("mode");
    mxArray wrongArguments = mxArray::text("Wrong number of arguments");
};

// Reads or sets the limits, or the limit mode, of the given or the current
// axes. Only the reading forms give an output.
std::vector<mxArray> axisLimits(const AxisLimitConstants& k, const mclInput& arg1,
                                const mclInput& arg2);
