// The five process variables and the three results, as the simulator has them.
#pragma once

#include "bending_model.h"

#include <array>

namespace etalonnage {

using Variable = facts::Variable;
inline constexpr const auto& kVariables = facts::kVariables;

using bending::codedValue;
using bending::realValue;

struct Result {
    const char* symbol;
    const char* unit;
};

// In the order of the simulator's outputs and of facts::kModels.
inline constexpr std::array<Result, 3> kResults = {{
    {facts::kModels[0].name, "°"},
    {facts::kModels[1].name, "°"},
    {facts::kModels[2].name, "mm"},
}};

}  // namespace etalonnage
