#pragma once

#include "array.h"

// The squared distance of the predicted part from the target part
// (A1 = 135, A2 = 135, H = 30.44) at the coded setting v(1) ... v(5).
mxArray mlfThree_var(mclInput v = std::nullopt);
void mlxThree_var(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_three_var();
void TerminateModule_three_var();
extern const mclLocalFunctionTable _local_function_table_three_var;
