#pragma once

#include "array.h"

// The profile of the bent part for the flange angles A1, A2 (degrees) and the
// height H (mm): a 4 x 2 matrix of points (x, y), base first.
mxArray mlfCalcul_pts(mclInput PGP1 = std::nullopt, mclInput PGP2 = std::nullopt,
                      mclInput PGP3 = std::nullopt);
void mlxCalcul_pts(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_calcul_pts();
void TerminateModule_calcul_pts();
extern const mclLocalFunctionTable _local_function_table_calcul_pts;
