// The three response-surface models (A1, A2, H): quadratics in the five coded
// variables, 21 terms each in the order of the coefficient files.
#pragma once

#include "facts.h"

#include <array>
#include <string>

namespace bending {

inline constexpr int kTermCount = 21;
using Coded = std::array<double, 5>;  // A, R, L, C, F on the scale -1 … 1
using TermRow = std::array<double, kTermCount>;
using ModelRows = std::array<TermRow, 3>;  // in the order of facts::kModels

// A term is the product of its factors, indices into Coded: none for the
// constant, one for a linear term, two for a product or a square.
struct Term {
    int first = -1, second = -1;
};
// Constant, A R L C F, the ten products (A·R, A·L, …, C·F), the squares.
const std::array<Term, kTermCount>& terms();
TermRow termRow(const Coded& x);
// A model row's value at x: its inner product with termRow(x).
double evaluate(const TermRow& coefficients, const Coded& x);
// "1", "A", …, "A·R", …, "A²", …
const std::array<std::string, kTermCount>& termNames();

// The rows the simulator uses when poly/ does not hold all three files.
const ModelRows& builtInRows();

// A slider's coded value is -1 at the variable's min, 0 in the middle, 1 at its max.
inline double codedValue(const facts::Variable& v, double real) {
    return (real - (v.max + v.min) / 2) / ((v.max - v.min) / 2);
}
inline double realValue(const facts::Variable& v, double coded) {
    return (v.max + v.min) / 2 + coded * (v.max - v.min) / 2;
}

}  // namespace bending
