#include "xlim.h"

#include "axis_limits.h"

namespace {

struct Constants : AxisLimitConstants {
    Constants() : AxisLimitConstants{mxArray::text("xlim"), mxArray::text("xlimmode")} {}
};
mclModuleConstants<Constants> k("xlim");

std::vector<mxArray> Mxlim(int /*nargout*/, mclInput arg1, mclInput arg2) {
    mclLocalFunctionScope scope(&_local_function_table_xlim);
    return axisLimits(k.get(), arg1, arg2);
}

}  // namespace

const mclLocalFunctionTable _local_function_table_xlim = {0, nullptr};

void InitializeModule_xlim() { k.initialize(); }
void TerminateModule_xlim() { k.terminate(); }

std::vector<mxArray> mlfXlim(int nargout, mclInput arg1, mclInput arg2) {
    return Mxlim(nargout, std::move(arg1), std::move(arg2));
}

void mlxXlim(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("xlim", nlhs, -1, nrhs, 2);
    auto inputs = mclTakeInputs(nrhs, prhs, 2);
    mclAssignVarargoutCell(nlhs, plhs, Mxlim(nlhs, std::move(inputs[0]), std::move(inputs[1])),
                           "xlim");
}
