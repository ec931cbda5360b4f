// The five process variables and the three results, as the simulator has them.
#pragma once

#include <array>

namespace etalonnage {

struct Variable {
    const char* symbol;
    const char* label;
    double low, high;  // the slider range, real units
    const char* unit;
    double centre() const { return (high + low) / 2; }
    double halfWidth() const { return (high - low) / 2; }
    double coded(double real) const { return (real - centre()) / halfWidth(); }
    double real(double coded) const { return centre() + coded * halfWidth(); }
};

inline constexpr std::array<Variable, 5> kVariables = {{
    {"A", "Angle matrice", 0, 16, "°"},
    {"R", "Rayon matrice", 6, 10, "mm"},
    {"L", "Largeur matrice", 57, 65, "mm"},
    {"C", "Course poinçon", 30, 38, "mm"},
    {"F", "Force SF", 40, 80, "bars"},
}};

struct Result {
    const char* symbol;
    const char* unit;
    const char* file;  // in poly/
};

// In the order of the simulator's outputs.
inline constexpr std::array<Result, 3> kResults = {{
    {"A1", "°", "A1.poly"},
    {"A2", "°", "A2.poly"},
    {"H", "mm", "H.poly"},
}};

}  // namespace etalonnage
