// The 21 terms of the models, as the calibration fits them.
#pragma once

#include "bending_model.h"

namespace etalonnage {

using bending::Coded;
using bending::evaluate;
using bending::kTermCount;
using bending::termNames;
using bending::termRow;
using bending::TermRow;

}  // namespace etalonnage
