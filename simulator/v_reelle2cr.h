#pragma once

#include "array.h"

// The real value of a coded value on the range [binf, bsup]: -1 is binf,
// 0 the middle, 1 bsup.
mxArray mlfV_reelle2cr(mclInput val = std::nullopt, mclInput bsup = std::nullopt,
                       mclInput binf = std::nullopt);
void mlxV_reelle2cr(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_v_reelle2cr();
void TerminateModule_v_reelle2cr();
extern const mclLocalFunctionTable _local_function_table_v_reelle2cr;
