#include "axis_limits.h"

#include "graphics.h"

namespace {

// Only a single handle whose type is "axes" names axes; anything else is a
// value for the current axes.
bool namesAxes(const AxisLimitConstants& k, const mxArray& value) {
    return value.isScalar() && mlfTobool(mlfIshandle(value)) &&
           mlfTobool(mlfStrcmp(mlfNGet(value, k.type), k.axes));
}

}  // namespace

std::vector<mxArray> axisLimits(const AxisLimitConstants& k, const mclInput& arg1,
                                const mclInput& arg2) {
    if (!arg1) return {mlfNGet(mlfGca(), k.limitsProperty)};
    mxArray target, value;
    if (namesAxes(k, *arg1)) {
        if (!arg2) return {mlfNGet(*arg1, k.limitsProperty)};
        target = *arg1;
        value = *arg2;
    } else {
        if (arg2) mlfError(k.wrongArguments);
        target = mlfGca();
        value = *arg1;
    }
    if (!mlfTobool(mlfIsstr(value))) {
        mlfNSet(target, k.limitsProperty, value);
    } else if (mlfTobool(mlfStrcmp(value, k.mode))) {
        return {mlfNGet(target, k.modeProperty)};
    } else {
        mlfNSet(target, k.modeProperty, value);
    }
    return {};
}
