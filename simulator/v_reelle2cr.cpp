#include "v_reelle2cr.h"

namespace {

struct Constants {
    mxArray two = mxArray::scalar(2);
};
mclModuleConstants<Constants> k("v_reelle2cr");

mxArray Mv_reelle2cr(int /*nargout*/, mclInput val, mclInput bsup, mclInput binf) {
    mclLocalFunctionScope scope(&_local_function_table_v_reelle2cr);
    const mxArray& high = mclValidate(bsup, "bsup");
    const mxArray& low = mclValidate(binf, "binf");
    mxArray centre = mclMrdivide(mclPlus(high, low), k->two);
    mxArray offset = mclMrdivide(mclMtimes(mclValidate(val, "val"), mclMinus(high, low)), k->two);
    return mclPlus(centre, offset);
}

}  // namespace

const mclLocalFunctionTable _local_function_table_v_reelle2cr = {0, nullptr};

void InitializeModule_v_reelle2cr() { k.initialize(); }
void TerminateModule_v_reelle2cr() { k.terminate(); }

mxArray mlfV_reelle2cr(mclInput val, mclInput bsup, mclInput binf) {
    return Mv_reelle2cr(1, std::move(val), std::move(bsup), std::move(binf));
}

void mlxV_reelle2cr(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("v_reelle2cr", nlhs, 1, nrhs, 3);
    auto inputs = mclTakeInputs(nrhs, prhs, 3);
    plhs[0] = Mv_reelle2cr(nlhs, std::move(inputs[0]), std::move(inputs[1]), std::move(inputs[2]));
}
