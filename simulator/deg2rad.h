#pragma once

#include "array.h"

// Degrees to radians, element by element.
mxArray mlfDeg2rad(mclInput D = std::nullopt);
void mlxDeg2rad(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_deg2rad();
void TerminateModule_deg2rad();
extern const mclLocalFunctionTable _local_function_table_deg2rad;
