#include "coefficient_history.h"

#include "facts.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace bending {

namespace {

namespace fs = std::filesystem;
using file_safety::ReadStatus;
using file_safety::WriteResult;
using file_safety::WriteStatus;

constexpr const char* kExtension = ".poly";

std::string fileName(const std::string& model) { return model + kExtension; }

std::string localStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H-%M-%S", &local);
    return text;
}

// model-YYYY-MM-DDTHH-MM-SS.poly or model-YYYY-MM-DDTHH-MM-SS-N.poly
bool parseVersionName(const std::string& entry, const std::string& model, CoefficientVersion& version) {
    const std::string prefix = model + "-", suffix = kExtension;
    const std::size_t stampLength = 19;
    if (entry.size() < prefix.size() + stampLength + suffix.size() || entry.compare(0, prefix.size(), prefix) != 0 ||
        entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string stamp = entry.substr(prefix.size(), stampLength);
    const char* shape = "dddd-dd-ddTdd-dd-dd";
    for (std::size_t i = 0; i < stampLength; ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(stamp[i])) : stamp[i] != shape[i]) return false;
    std::string rest = entry.substr(prefix.size() + stampLength,
                                    entry.size() - prefix.size() - stampLength - suffix.size());
    int sequence = 1;
    if (!rest.empty()) {
        if (rest.size() < 2 || rest.size() > 6 || rest[0] != '-' ||
            !std::all_of(rest.begin() + 1, rest.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            return false;
        sequence = std::stoi(rest.substr(1));
        if (sequence < 2) return false;
    }
    version.stamp = stamp;
    version.sequence = sequence;
    return true;
}

std::string versionName(const std::string& model, const std::string& stamp, int sequence) {
    return fileName(model + "-" + stamp + (sequence > 1 ? "-" + std::to_string(sequence) : ""));
}

}  // namespace

std::string coefficientFilePath(const std::string& polyFolder, const std::string& model) {
    return (fs::path(polyFolder) / fileName(model)).lexically_normal().string();
}

std::vector<CoefficientVersion> coefficientHistory(const std::string& polyFolder, const std::string& model) {
    std::vector<CoefficientVersion> versions;
    const fs::path folder = fs::path(polyFolder) / kHistoryFolder;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        CoefficientVersion version;
        if (!parseVersionName(it->path().filename().string(), model, version)) continue;
        version.path = it->path().string();
        versions.push_back(std::move(version));
    }
    std::sort(versions.begin(), versions.end(), [](const CoefficientVersion& a, const CoefficientVersion& b) {
        return a.stamp != b.stamp ? a.stamp > b.stamp : a.sequence > b.sequence;
    });
    return versions;
}

WriteResult keepCoefficientFile(const std::string& polyFolder, const std::string& model) {
    const std::string file = coefficientFilePath(polyFolder, model);
    const file_safety::ReadResult current = file_safety::readRegularFile(file);
    if (current.status == ReadStatus::Missing) return {WriteStatus::Written, {}};
    if (current.status != ReadStatus::Read)
        return {WriteStatus::Refused, current.error + " Il ne peut pas être gardé dans l'historique : "
                                                      "il n'est pas remplacé."};
    const std::string folder = (fs::path(polyFolder) / kHistoryFolder).lexically_normal().string();
    const WriteResult made = file_safety::ownFolder(folder, "l'historique n'y est pas écrit");
    if (!made.ok()) return made;

    std::vector<CoefficientVersion> versions = coefficientHistory(polyFolder, model);
    const bool alreadyKept =
        !versions.empty() && file_safety::readRegularFile(versions.front().path).content == current.content;
    if (!alreadyKept) {
        // After the newest of the same second: a number that pruning freed is not reused.
        const std::string stamp = localStamp();
        int first = 1;
        for (const CoefficientVersion& version : versions)
            if (version.stamp == stamp) first = std::max(first, version.sequence + 1);
        const WriteResult kept = file_safety::addNewFile(
            folder, fileName(model), current.content, file, first,
            [&](int sequence) { return versionName(model, stamp, sequence); },
            "La version remplacée de « " + file + " » n'a pas pu être gardée dans « " + folder +
                " » ; le fichier n'est pas remplacé : ");
        if (!kept.ok()) return kept;
        versions = coefficientHistory(polyFolder, model);
    }
    for (std::size_t i = kHistoryDepth; i < versions.size(); ++i) ::unlink(versions[i].path.c_str());
    return {WriteStatus::Written, {}};
}

WriteResult writeCoefficientFile(const std::string& polyFolder, const std::string& model, const std::string& content) {
    const std::string path = coefficientFilePath(polyFolder, model);
    if (file_safety::holds(path, content)) return {WriteStatus::Written, {}};
    file_safety::Replacement replacement(path);
    if (!replacement.opened().ok()) return replacement.opened();
    const WriteResult kept = keepCoefficientFile(polyFolder, model);
    if (!kept.ok()) return kept;
    return replacement.commit(content);
}

WriteResult installCoefficientFiles(const std::string& polyFolder,
                                    const std::optional<std::array<std::string, 3>>& contents) {
    if (contents) {
        const WriteResult made = file_safety::ownFolder(polyFolder, "les coefficients n'y sont pas écrits");
        if (!made.ok()) return made;
    }
    file_safety::FolderSyncBatch batch;
    std::array<std::unique_ptr<file_safety::Replacement>, 3> replacements;
    for (std::size_t m = 0; m < replacements.size(); ++m) {
        const std::string path = coefficientFilePath(polyFolder, facts::kModels[m].name);
        const bool unchanged = contents ? file_safety::holds(path, (*contents)[m])
                                        : file_safety::readRegularFile(path).status == ReadStatus::Missing;
        if (unchanged) continue;
        replacements[m] = std::make_unique<file_safety::Replacement>(path);
        if (!replacements[m]->opened().ok()) return replacements[m]->opened();
    }
    for (std::size_t m = 0; m < replacements.size(); ++m) {
        if (!replacements[m]) continue;
        const WriteResult kept = keepCoefficientFile(polyFolder, facts::kModels[m].name);
        if (!kept.ok()) return kept;
        if (contents) {
            const WriteResult written = replacements[m]->commit((*contents)[m]);
            if (!written.ok()) return written;
            continue;
        }
        // The name in poly/ goes, not what a link of the user's own points to.
        const std::string path = coefficientFilePath(polyFolder, facts::kModels[m].name);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return {WriteStatus::Failed,
                    "Le fichier « " + path + " » n'a pas pu être retiré : " + std::strerror(errno) + "."};
    }
    return {WriteStatus::Written, {}};
}

}  // namespace bending
