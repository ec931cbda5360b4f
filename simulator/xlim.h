#pragma once

#include "array.h"

#include <vector>

// Reads or sets the x limits of axes, or their x limit mode. The forms:
// (), (limits), ("mode"), (mode), each also with an axes handle first. Only
// the reading forms return a value.
std::vector<mxArray> mlfXlim(int nargout, mclInput arg1 = std::nullopt,
                             mclInput arg2 = std::nullopt);
void mlxXlim(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_xlim();
void TerminateModule_xlim();
extern const mclLocalFunctionTable _local_function_table_xlim;
