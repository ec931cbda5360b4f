// The history of the coefficient files: every program that writes one of
// poly/A1.poly, poly/A2.poly, poly/H.poly first keeps the file it replaces in
// poly/historique/, named after the model and the local time of the
// replacement: A1-2026-12-07T14-03-22.poly (a second version within the same
// second gets "-2", "-3"... after the time). The kHistoryDepth latest are kept
// per model.
#pragma once

#include "file_safety.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace bending {

constexpr int kHistoryDepth = 50;
constexpr const char* kHistoryFolder = "historique";

struct CoefficientVersion {
    std::string path;   // poly/historique/A1-2026-12-07T14-03-22.poly
    std::string stamp;  // 2026-12-07T14-03-22
    int sequence = 1;   // 1, then 2, 3... within one second
};

// The kept versions of one model ("A1", "H", "A2"), newest first.
std::vector<CoefficientVersion> coefficientHistory(const std::string& polyFolder, const std::string& model);

// Keeps the current file of the model in the history (nothing to keep when
// it does not exist, nor when the newest version already holds it), then
// drops the versions beyond kHistoryDepth.
file_safety::WriteResult keepCoefficientFile(const std::string& polyFolder, const std::string& model);

// Keeps the file being replaced, then replaces it with the content: the way
// every program writes a coefficient file. The same content again changes
// nothing.
file_safety::WriteResult writeCoefficientFile(const std::string& polyFolder, const std::string& model,
                                              const std::string& content);

// Puts the three files of a model handed from elsewhere (A1, A2, H) in
// place together, each replaced one kept in the history; none: the built-in
// rows, the files there then go to the history and are removed. Nothing is
// replaced unless all three can be.
file_safety::WriteResult installCoefficientFiles(const std::string& polyFolder,
                                                 const std::optional<std::array<std::string, 3>>& contents);

// The model's file in polyFolder: "poly/A1.poly" for "poly" and "A1".
std::string coefficientFilePath(const std::string& polyFolder, const std::string& model);

}  // namespace bending
