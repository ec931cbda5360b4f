// The coefficient editor of one response-surface model. One source, built once
// per model: EDITOR_MODEL is the model word ("A1", "H" or "A2") and
// EDITOR_SUFFIX its lower-case form (a1, h, a2), which names the program and
// its functions (morvane_a1, mlxMorvane_a1, ...).
#pragma once

#include "array.h"

#include <vector>

#define EDITOR_JOIN_(a, b) a##b
#define EDITOR_JOIN(a, b) EDITOR_JOIN_(a, b)
#define EDITOR_TEXT_(x) #x
#define EDITOR_TEXT(x) EDITOR_TEXT_(x)

#define EDITOR_PROGRAM_NAME "morvane_" EDITOR_TEXT(EDITOR_SUFFIX)
#define mlfMorvane EDITOR_JOIN(mlfMorvane_, EDITOR_SUFFIX)
#define mlxMorvane EDITOR_JOIN(mlxMorvane_, EDITOR_SUFFIX)
#define InitializeModule_morvane EDITOR_JOIN(InitializeModule_morvane_, EDITOR_SUFFIX)
#define TerminateModule_morvane EDITOR_JOIN(TerminateModule_morvane_, EDITOR_SUFFIX)
#define _local_function_table_morvane EDITOR_JOIN(_local_function_table_morvane_, EDITOR_SUFFIX)

// The editor's one global: val.hui(k) is the edit field of coefficient k.
extern mclGlobalVariable val;

// With no input: builds the window. With one word: "Sauv" saves the fields to
// the model's file, "relire" shows the file's values, "Init" sets every field
// to zero.
void mlfMorvane(std::vector<mxArray> varargin = {});
void mlxMorvane(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_morvane();
void TerminateModule_morvane();
extern const mclLocalFunctionTable _local_function_table_morvane;
