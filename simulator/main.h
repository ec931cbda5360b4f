#pragma once

#include "array.h"

#include <vector>

// The simulator's global variables: they hold no value until their first
// assignment and keep it for the life of the process.
extern mclGlobalVariable CoutO, CoutR, Nb_essai, ax, h_fig, outillage, reglage, vh;

// The top-level function: with no input it builds the window, with one word
// ("slider1" ... "slider5", "Trial") it serves a control of that window.
void mlfMain(std::vector<mxArray> varargin = {});
void mlxMain(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_main();
void TerminateModule_main();
extern const mclLocalFunctionTable _local_function_table_main;
