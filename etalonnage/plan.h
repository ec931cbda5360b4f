// The experiment to run on the press: a face-centred central composite design
// in the five variables, in random run order.
#pragma once

#include "terms.h"

#include <cstdint>
#include <string>
#include <vector>

namespace etalonnage {

struct PlanRun {
    int number;    // position in the run order, from 1
    Coded coded;   // the setting, on the scale -1 … 1
    const char* kind;  // "factoriel", "axial" or "centre"
};

struct Plan {
    std::uint64_t seed;
    int centres;
    std::vector<PlanRun> runs;  // in run order
};

inline constexpr int kDefaultCentres = 6;
inline constexpr int kMaxCentres = 100;

// 16 runs of the half fraction F = A·R·L·C (resolution V), 10 axial runs at
// the ends of the slider ranges, then the centre runs; shuffled by the seed.
Plan makePlan(int centres, std::uint64_t seed);

// The sheet to fill in on the shop floor: run number, the five settings in
// real units and empty result columns; UTF-8, ';' between cells.
std::string planCsv(const Plan& plan);

}  // namespace etalonnage
