#include "coefficient_file_writer.h"

#include "coefficient_file.h"

#include <fstream>

void writeCoefficientFiles(const std::filesystem::path& workingFolder, const bending::ModelRows& rows) {
    for (std::size_t m = 0; m < rows.size(); ++m)
        std::ofstream(workingFolder / facts::kModels[m].path, std::ios::binary) << bending::coefficientText(rows[m]);
}
