// The fitted models written where the simulator and the editors read them.
#pragma once

#include "calibration.h"

#include <QString>

namespace etalonnage {

// poly/A1.poly, poly/A2.poly and poly/H.poly in the editors' layout, all three
// or none: each replaced file is first kept in poly/historique/. Returns an
// empty text when written, otherwise why nothing was.
QString saveModels(const ModelRows& rows);

}  // namespace etalonnage
