#include "deg2rad.h"

namespace {

struct Constants {
    mxArray halfTurn = mxArray::scalar(180);
    mxArray pi = mxArray::scalar(3.141592653589793);
    mxArray noArgument = mxArray::text("Incorrect number of arguments");
    mxArray imaginaryPart = mxArray::text("Imaginary parts of complex ANGLE argument ignored");
};
mclModuleConstants<Constants> k("deg2rad");

mxArray Mdeg2rad(int /*nargout*/, mclInput D) {
    mclLocalFunctionScope scope(&_local_function_table_deg2rad);
    if (!D) mlfError(k->noArgument);
    mxArray angle = std::move(*D);
    if (!mlfTobool(mlfIsreal(angle))) {
        mlfNWarning(k->imaginaryPart);
        angle = mlfReal(angle);
    }
    return mclMrdivide(mclMtimes(angle, k->pi), k->halfTurn);
}

}  // namespace

const mclLocalFunctionTable _local_function_table_deg2rad = {0, nullptr};

void InitializeModule_deg2rad() { k.initialize(); }
void TerminateModule_deg2rad() { k.terminate(); }

mxArray mlfDeg2rad(mclInput D) { return Mdeg2rad(1, std::move(D)); }

void mlxDeg2rad(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("deg2rad", nlhs, 1, nrhs, 1);
    auto inputs = mclTakeInputs(nrhs, prhs, 1);
    plhs[0] = Mdeg2rad(nlhs, std::move(inputs[0]));
}
