// A working folder's three coefficient files, for tests and benchmarks.
#pragma once

#include "bending_model.h"

#include <filesystem>

// Writes the three coefficient files of facts::kModels under workingFolder as
// the editors save them; poly/ must be there.
void writeCoefficientFiles(const std::filesystem::path& workingFolder, const bending::ModelRows& rows);
