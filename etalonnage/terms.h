// The 21 terms of a quadratic model in the five coded variables, in the order
// of the coefficient files: constant, A R L C F, the ten products, the squares.
#pragma once

#include <array>
#include <string>

namespace etalonnage {

inline constexpr int kTermCount = 21;
using Coded = std::array<double, 5>;  // A, R, L, C, F on the scale -1 … 1
using TermRow = std::array<double, kTermCount>;

TermRow termRow(const Coded& x);
// A model row's value at x: its inner product with termRow(x).
double evaluate(const TermRow& coefficients, const Coded& x);
// "1", "A", …, "A·R", …, "A²", …
const std::array<std::string, kTermCount>& termNames();

}  // namespace etalonnage
