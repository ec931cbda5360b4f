// Tests and comparisons. The *Bool forms give a C++ truth value; the others a
// value of 0/1 doubles.
#pragma once

#include "mxarray.h"

mxArray mclEq(const mxArray& a, const mxArray& b);
bool mclEqBool(const mxArray& a, const mxArray& b);
bool mclGtBool(const mxArray& a, const mxArray& b);
mxArray mclOr(const mxArray& a, const mxArray& b);
mxArray mclAnd(const mxArray& a, const mxArray& b);
bool mclNotBool(const mxArray& a);
// True when the value is not empty and every element is nonzero.
bool mlfTobool(const mxArray& a);
mxArray mlfLogicalScalar(bool value);
// 1 when both are texts with the same characters, else 0.
mxArray mlfStrcmp(const mxArray& a, const mxArray& b);
mxArray mlfIsstr(const mxArray& a);
// True when the value is a text equal to the case text (exact, with case).
bool mclSwitchCompare(const mxArray& value, const mxArray& caseValue);
