#include "three_var.h"

#include "facts.h"
#include "var_.h"

namespace {

struct Constants {
    mxArray targetA1 = mxArray::scalar(facts::kTarget.A1);
    mxArray targetA2 = mxArray::scalar(facts::kTarget.A2);
    mxArray targetHeight = mxArray::scalar(facts::kTarget.H);
    mxArray square = mxArray::scalar(2);
};
mclModuleConstants<Constants> k("three_var");

mxArray Mthree_var(int /*nargout*/, mclInput v) {
    mclLocalFunctionScope scope(&_local_function_table_three_var);
    const mxArray& setting = mclValidate(v, "v");
    mxArray PGP2, PGP3;
    mxArray PGP1 = mlfVar_(&PGP2, &PGP3, mclIntArrayRef1(setting, 1), mclIntArrayRef1(setting, 2),
                           mclIntArrayRef1(setting, 3), mclIntArrayRef1(setting, 4),
                           mclIntArrayRef1(setting, 5));
    auto squaredDeviation = [](const mxArray& target, const mxArray& value) {
        return mclMpower(mclMinus(target, value), k->square);
    };
    return mclPlus(mclPlus(squaredDeviation(k->targetA1, PGP1),
                           squaredDeviation(k->targetA2, PGP2)),
                   squaredDeviation(k->targetHeight, PGP3));
}

}  // namespace

const mclLocalFunctionTable _local_function_table_three_var = {0, nullptr};

void InitializeModule_three_var() { k.initialize(); }
void TerminateModule_three_var() { k.terminate(); }

mxArray mlfThree_var(mclInput v) { return Mthree_var(1, std::move(v)); }

void mlxThree_var(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("three_var", nlhs, 1, nrhs, 1);
    auto inputs = mclTakeInputs(nrhs, prhs, 1);
    plhs[0] = Mthree_var(nlhs, std::move(inputs[0]));
}
