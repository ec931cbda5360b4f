// A coefficient file: one model's 21 numbers in poly/, as the editors and the
// calibration write them and as the simulator reads them.
#pragma once

#include "bending_model.h"

#include <QString>

#include <array>
#include <optional>

#include <string>
#include <string_view>
#include <vector>

namespace bending {

// 21 numbers, "%f \t" each, no line end.
std::string coefficientText(const TermRow& row);

// The numbers at the start of a file's content, separated by blanks, up to
// the first text that is not one; onlyBlanksLeft tells whether anything else follows.
struct ScannedNumbers {
    std::vector<double> numbers;
    bool onlyBlanksLeft = true;
};
ScannedNumbers scanNumbers(std::string_view content);

// One read of the three files as rowsInUse takes them: their rows, none for
// the built-in rows, and their fingerprint (see coefficientFingerprint).
// Reading again parses and hashes the files only when their contents changed.
class CoefficientRead {
public:
    // Throws mclError as rowsInUse does; what was read before is then kept.
    void readAgain(const std::string& polyFolder);
    const std::optional<ModelRows>& rows() const { return rows_; }
    const QString& fingerprint() const { return fingerprint_; }

private:
    bool read_ = false;
    std::optional<std::array<std::string, 3>> contents_;
    std::optional<ModelRows> rows_;
    QString fingerprint_;
};

// The rows the simulator evaluates: the three files of polyFolder when all
// three can be read, otherwise the built-in rows. Throws mclError,
// naming the file, for a file that is not a regular one or does not hold
// exactly 21 finite numbers.
ModelRows rowsInUse(const std::string& polyFolder);
// The rows of the three files as rowsInUse takes them; none when it takes
// the built-in rows.
std::optional<ModelRows> fileRowsInUse(const std::string& polyFolder);

// The three files as rowsInUse takes them (checked as it checks them), none
// for the built-in rows, with their fingerprint: what an exercise hands to
// every station. Throws mclError as rowsInUse does.
struct CoefficientFiles {
    std::optional<std::array<std::string, 3>> contents;  // A1, A2, H
    QString fingerprint;
};
CoefficientFiles coefficientFilesInUse(const std::string& polyFolder);

// What rowsInUse takes, in one word: the SHA-256 of the three files in the
// order A1, A2, H, in hexadecimal, or « intégrés » for the built-in rows.
// Throws mclError, as rowsInUse does, for a file that is not a regular one.
QString coefficientFingerprint(const std::string& polyFolder);

}  // namespace bending
