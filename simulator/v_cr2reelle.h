#pragma once

#include "array.h"

// The coded value of a real value on the range [binf, bsup]: the inverse of
// v_reelle2cr. Registered for the host; nothing in the program calls it.
mxArray mlfV_cr2reelle(mclInput val = std::nullopt, mclInput bsup = std::nullopt,
                       mclInput binf = std::nullopt);
void mlxV_cr2reelle(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_v_cr2reelle();
void TerminateModule_v_cr2reelle();
extern const mclLocalFunctionTable _local_function_table_v_cr2reelle;
