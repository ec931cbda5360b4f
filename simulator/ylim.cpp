#include "ylim.h"

#include "axis_limits.h"

namespace {

struct Constants : AxisLimitConstants {
    Constants() : AxisLimitConstants{mxArray::text("ylim"), mxArray::text("ylimmode")} {}
};
mclModuleConstants<Constants> k("ylim");

std::vector<mxArray> Mylim(int /*nargout*/, mclInput arg1, mclInput arg2) {
    mclLocalFunctionScope scope(&_local_function_table_ylim);
    return axisLimits(k.get(), arg1, arg2);
}

}  // namespace

const mclLocalFunctionTable _local_function_table_ylim = {0, nullptr};

void InitializeModule_ylim() { k.initialize(); }
void TerminateModule_ylim() { k.terminate(); }

std::vector<mxArray> mlfYlim(int nargout, mclInput arg1, mclInput arg2) {
    return Mylim(nargout, std::move(arg1), std::move(arg2));
}

void mlxYlim(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("ylim", nlhs, -1, nrhs, 2);
    auto inputs = mclTakeInputs(nrhs, prhs, 2);
    mclAssignVarargoutCell(nlhs, plhs, Mylim(nlhs, std::move(inputs[0]), std::move(inputs[1])),
                           "ylim");
}
