#include "coefficient_file.h"

#include "conversion.h"
#include "errors.h"
#include "file_safety.h"

#include <QCryptographicHash>

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace bending {

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)); }

// The three files read in the order of the models; empty when one is not
// there or cannot be opened, as the simulator then takes its built-in rows.
std::optional<std::array<std::string, 3>> readFiles(const std::string& polyFolder) {
    std::array<file_safety::ReadResult, 3> read;
    for (std::size_t m = 0; m < read.size(); ++m) {
        read[m] = file_safety::readRegularFile((std::filesystem::path(polyFolder) / facts::kModels[m].file).string());
        if (read[m].status == file_safety::ReadStatus::Refused) throw mclError(read[m].error);
    }
    std::array<std::string, 3> contents;
    for (std::size_t m = 0; m < read.size(); ++m) {
        if (read[m].status != file_safety::ReadStatus::Read) return std::nullopt;
        contents[m] = std::move(read[m].content);
    }
    return contents;
}

TermRow rowOf(const std::string& content, const facts::Model& model) {
    const std::vector<double> numbers = scanNumbers(content).numbers;
    const std::string file = std::string("Le fichier de coefficients ") + model.path;
    // A short or long row would only fail later, in the products, with a
    // message that names neither the file nor the count.
    if (numbers.size() != std::size_t(kTermCount))
        throw mclError(file + " contient " + std::to_string(numbers.size()) +
                                 (numbers.size() > 1 ? " nombres" : " nombre") + " au lieu de " +
                                 std::to_string(kTermCount) + ".");
    TermRow row;
    for (std::size_t n = 0; n < row.size(); ++n) {
        // NaN or Inf would make every angle NaN and the chart empty, without a word.
        if (!std::isfinite(numbers[n]))
            throw mclError(file + " contient « " + num2strText(numbers[n]) + " » en coefficient " +
                                     std::to_string(n + 1) + " : un coefficient doit être un nombre fini.");
        row[n] = numbers[n];
    }
    return row;
}

}  // namespace

std::string coefficientText(const TermRow& row) {
    std::string text;
    for (double c : row) {
        char cell[512];
        const auto end = std::to_chars(cell, cell + sizeof cell, c, std::chars_format::fixed, 6).ptr;
        text.append(cell, end).append(" \t");
    }
    return text;
}

ScannedNumbers scanNumbers(std::string_view content) {
    ScannedNumbers scanned;
    for (;;) {
        while (!content.empty() && isBlank(content.front())) content.remove_prefix(1);
        double value = 0;
        const std::size_t used = content.empty() ? 0 : readNumberPrefix(content, value);
        if (used == 0) break;
        scanned.numbers.push_back(value);
        content.remove_prefix(used);
    }
    scanned.onlyBlanksLeft = content.empty();
    return scanned;
}

namespace {

std::optional<ModelRows> rowsOf(const std::optional<std::array<std::string, 3>>& contents) {
    if (!contents) return std::nullopt;
    ModelRows rows;
    for (std::size_t m = 0; m < rows.size(); ++m) rows[m] = rowOf((*contents)[m], facts::kModels[m]);
    return rows;
}

QString fingerprintOf(const std::optional<std::array<std::string, 3>>& contents) {
    if (!contents) return QStringLiteral("intégrés");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const std::string& content : *contents) hash.addData(QByteArrayView(content.data(), qsizetype(content.size())));
    return QString::fromLatin1(hash.result().toHex());
}

}  // namespace

void CoefficientRead::readAgain(const std::string& polyFolder) {
    auto contents = readFiles(polyFolder);
    if (read_ && contents == contents_) return;
    rows_ = rowsOf(contents);
    fingerprint_ = fingerprintOf(contents);
    contents_ = std::move(contents);
    read_ = true;
}

std::optional<ModelRows> fileRowsInUse(const std::string& polyFolder) { return rowsOf(readFiles(polyFolder)); }

ModelRows rowsInUse(const std::string& polyFolder) { return fileRowsInUse(polyFolder).value_or(builtInRows()); }

QString coefficientFingerprint(const std::string& polyFolder) { return fingerprintOf(readFiles(polyFolder)); }

CoefficientFiles coefficientFilesInUse(const std::string& polyFolder) {
    CoefficientFiles files{readFiles(polyFolder), {}};
    if (files.contents)
        for (std::size_t m = 0; m < files.contents->size(); ++m) rowOf((*files.contents)[m], facts::kModels[m]);
    files.fingerprint = fingerprintOf(files.contents);
    return files;
}

}  // namespace bending
