#pragma once

#include "array.h"

#include <vector>

// Reads or sets the y limits of axes, or their y limit mode. The forms:
// (), (limits), ("mode"), (mode), each also with an axes handle first. Only
// the reading forms return a value.
std::vector<mxArray> mlfYlim(int nargout, mclInput arg1 = std::nullopt,
                             mclInput arg2 = std::nullopt);
void mlxYlim(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_ylim();
void TerminateModule_ylim();
extern const mclLocalFunctionTable _local_function_table_ylim;
