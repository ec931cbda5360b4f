#include "calcul_pts.h"

#include "deg2rad.h"

namespace {

struct Constants {
    mxArray P0 = mxArray::row({0, 0});
    mxArray P1 = mxArray::row({30, 0});
    mxArray halfTurn = mxArray::scalar(180);
    mxArray baseLength = mxArray::scalar(30);
    mxArray endX = mxArray::scalar(80);
};
mclModuleConstants<Constants> k("calcul_pts");

// No guard on the tangents: A1 = 180 or 90 give infinite or huge slopes, and
// the profile is drawn as the arithmetic gives it.
mxArray Mcalcul_pts(int /*nargout*/, mclInput PGP1, mclInput PGP2, mclInput PGP3) {
    mclLocalFunctionScope scope(&_local_function_table_calcul_pts);
    const mxArray& A1 = mclValidate(PGP1, "PGP1");
    mxArray slope1 = mlfTan(mlfDeg2rad(mclMinus(k->halfTurn, A1)));
    mxArray slope2 = mlfTan(mlfDeg2rad(mclMinus(mclValidate(PGP2, "PGP2"), A1)));
    const mxArray& H = mclValidate(PGP3, "PGP3");
    // Where the first flange, leaving P1, reaches the height H.
    mxArray P2_x = mclMrdivide(mclPlus(H, mclMtimes(slope1, k->baseLength)), slope1);
    // The height of the second flange at x = 80.
    mxArray P3_y = mclMinus(mclPlus(mclMtimes(slope2, k->endX), H), mclMtimes(slope2, P2_x));
    return mlfVertcat({k->P0, k->P1, mlfHorzcat({P2_x, H}), mlfHorzcat({k->endX, P3_y})});
}

}  // namespace

const mclLocalFunctionTable _local_function_table_calcul_pts = {0, nullptr};

void InitializeModule_calcul_pts() { k.initialize(); }
void TerminateModule_calcul_pts() { k.terminate(); }

mxArray mlfCalcul_pts(mclInput PGP1, mclInput PGP2, mclInput PGP3) {
    return Mcalcul_pts(1, std::move(PGP1), std::move(PGP2), std::move(PGP3));
}

void mlxCalcul_pts(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("calcul_pts", nlhs, 1, nrhs, 3);
    auto inputs = mclTakeInputs(nrhs, prhs, 3);
    plhs[0] = Mcalcul_pts(nlhs, std::move(inputs[0]), std::move(inputs[1]), std::move(inputs[2]));
}
