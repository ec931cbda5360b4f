#pragma once

#include "array.h"

#include <string>

// The three response-surface models at a coded setting (A, R, L, C, F):
// returns A1; A2 and H go to their slots when given. The coefficients come
// from poly/A1.poly, poly/A2.poly and poly/H.poly, read anew at every call
// (but see CoefficientFilesReadOnce), or from the built-in rows when the
// three files are not all there.
mxArray mlfVar_(mxArray* PGP2, mxArray* PGP3, mclInput PP1 = std::nullopt,
                mclInput PP2 = std::nullopt, mclInput PP3 = std::nullopt,
                mclInput PP4 = std::nullopt, mclInput PP5 = std::nullopt);
void mlxVar_(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);
void InitializeModule_var_();
void TerminateModule_var_();
extern const mclLocalFunctionTable _local_function_table_var_;

// While one lives, var_ reads the coefficient files at its first call only: a
// trial's evaluations all use the same files, and its journal row names them.
// One at a time.
class CoefficientFilesReadOnce {
public:
    CoefficientFilesReadOnce();
    ~CoefficientFilesReadOnce();
    CoefficientFilesReadOnce(const CoefficientFilesReadOnce&) = delete;
    CoefficientFilesReadOnce& operator=(const CoefficientFilesReadOnce&) = delete;
};
// The fingerprint of the files var_ evaluated last (see bending::coefficientFingerprint).
std::string evaluatedCoefficientsFingerprint();
