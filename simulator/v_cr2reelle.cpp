#include "v_cr2reelle.h"

namespace {

struct Constants {
    mxArray two = mxArray::scalar(2);
};
mclModuleConstants<Constants> k("v_cr2reelle");

mxArray Mv_cr2reelle(int /*nargout*/, mclInput val, mclInput bsup, mclInput binf) {
    mclLocalFunctionScope scope(&_local_function_table_v_cr2reelle);
    const mxArray& high = mclValidate(bsup, "bsup");
    const mxArray& low = mclValidate(binf, "binf");
    mxArray centre = mclMrdivide(mclPlus(high, low), k->two);
    mxArray halfWidth = mclMrdivide(mclMinus(high, low), k->two);
    return mclMrdivide(mclMinus(mclValidate(val, "val"), centre), halfWidth);
}

}  // namespace

const mclLocalFunctionTable _local_function_table_v_cr2reelle = {0, nullptr};

void InitializeModule_v_cr2reelle() { k.initialize(); }
void TerminateModule_v_cr2reelle() { k.terminate(); }

mxArray mlfV_cr2reelle(mclInput val, mclInput bsup, mclInput binf) {
    return Mv_cr2reelle(1, std::move(val), std::move(bsup), std::move(binf));
}

void mlxV_cr2reelle(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("v_cr2reelle", nlhs, 1, nrhs, 3);
    auto inputs = mclTakeInputs(nrhs, prhs, 3);
    plhs[0] = Mv_cr2reelle(nlhs, std::move(inputs[0]), std::move(inputs[1]), std::move(inputs[2]));
}
