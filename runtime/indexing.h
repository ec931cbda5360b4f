// Element access, growth and concatenation. Indices are 1-based, as in the
// programs; errors name the index and the size.
#pragma once

#include "mxarray.h"

#include <initializer_list>
#include <vector>

mxArray mclIntArrayRef1(const mxArray& a, int index);
// a(i, j); either index may be the colon index.
mxArray mclArrayRef2(const mxArray& a, const mxArray& i, const mxArray& j);
// a(index) = v for a scalar v; a row grows to hold the index, new slots 0.
void mclIntArrayAssign1(mxArray& a, const mxArray& v, int index);
mxArray mlfCreateColonIndex();
int mclLengthInt(const mxArray& a);

mxArray mlfHorzcat(std::initializer_list<mxArray> parts);
mxArray mlfHorzcat(const std::vector<mxArray>& parts);
mxArray mlfVertcat(std::initializer_list<mxArray> parts);

// Indexing by pattern: "{?}" (cell element), ".name" (field), ".name(?)"
// (element of a field), "(?)" (element). Each '?' takes the next index.
mxArray mlfIndexRef(const mxArray& base, const char* pattern, std::initializer_list<mxArray> indices = {});
void mlfIndexAssign(mxArray& base, const char* pattern, const mxArray& value,
                    std::initializer_list<mxArray> indices = {});
