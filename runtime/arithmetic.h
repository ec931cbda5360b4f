// Arithmetic on values. Element-wise operations accept equal sizes or a scalar
// on either side; anything else raises a dimension error naming both sizes.
#pragma once

#include "mxarray.h"

mxArray mclPlus(const mxArray& a, const mxArray& b);
mxArray mclMinus(const mxArray& a, const mxArray& b);
// Matrix product; a scalar on either side scales the other.
mxArray mclMtimes(const mxArray& a, const mxArray& b);
// Division by a scalar.
mxArray mclMrdivide(const mxArray& a, const mxArray& b);
// A scalar raised to a scalar power.
mxArray mclMpower(const mxArray& a, const mxArray& b);
// a times the transpose of b (two rows give their dot product). The third
// argument is the runtime's operation code and must be 2.
mxArray mlf_times_transpose(const mxArray& a, const mxArray& b, int code);
mxArray mlfCtranspose(const mxArray& a);
mxArray mlfTan(const mxArray& a);
mxArray mlfReal(const mxArray& a);
mxArray mlfIsreal(const mxArray& a);
