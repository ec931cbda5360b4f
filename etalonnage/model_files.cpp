#include "model_files.h"

#include "coefficient_file.h"
#include "coefficient_history.h"
#include "facts.h"
#include "file_safety.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace etalonnage {

QString saveModels(const ModelRows& rows) {
    using namespace file_safety;
    const std::string folder = facts::kCoefficientFolder;
    auto refused = [](const std::string& why) {
        return QString::fromStdString(why) + " Aucun fichier de coefficients n'a été écrit.";
    };

    // The simulator refuses every trial on a file holding "nan" or "inf".
    for (const TermRow& row : rows)
        if (!std::all_of(row.begin(), row.end(), [](double c) { return std::isfinite(c); }))
            return refused("Les coefficients ajustés ne sont pas tous des nombres finis.");

    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return refused("Pas de dossier « " + folder + " » ici : lancez le programme dans le dossier de travail du simulateur.");

    // What is there now, to put back if a later file cannot be written.
    std::array<ReadResult, 3> before;
    std::array<std::unique_ptr<Replacement>, 3> replacements;
    for (int m = 0; m < 3; ++m) {
        const std::string path = facts::kModels[m].path;
        before[m] = readRegularFile(path);
        if (before[m].status != ReadStatus::Read && before[m].status != ReadStatus::Missing)
            return refused(before[m].error);
        replacements[m] = std::make_unique<Replacement>(path);
        if (!replacements[m]->opened().ok()) return refused(replacements[m]->opened().error);
    }
    // A model saved again as it is replaces nothing and keeps no version.
    std::array<std::string, 3> texts;
    std::array<bool, 3> same{};
    for (int m = 0; m < 3; ++m) {
        texts[m] = bending::coefficientText(rows[m]);
        same[m] = holds(facts::kModels[m].path, texts[m]);
        if (same[m]) continue;
        const WriteResult kept = bending::keepCoefficientFile(folder, facts::kModels[m].name);
        if (!kept.ok()) return refused(kept.error);
    }
    for (int m = 0; m < 3; ++m) {
        if (same[m]) continue;
        const WriteResult written = replacements[m]->commit(texts[m]);
        if (written.ok()) continue;
        // The simulator takes the files only together: put the earlier ones back.
        for (int back = 0; back < m; ++back) {
            const std::string path = facts::kModels[back].path;
            if (before[back].status == ReadStatus::Read)
                replaceFile(path, before[back].content);
            else
                std::remove(path.c_str());
        }
        return refused(written.error);
    }
    return {};
}

}  // namespace etalonnage
