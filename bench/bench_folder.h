// A temporary working folder for the programs: data/ and poly/, with or
// without the three coefficient files. Removed with the object.
#pragma once

#include <filesystem>

class BenchFolder {
public:
    explicit BenchFolder(bool withCoefficientFiles);
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    const std::filesystem::path& path() const { return dir_; }
    // One coefficient file, as the editors write it.
    std::filesystem::path coefficientFile() const { return dir_ / "poly" / "A1.poly"; }

private:
    std::filesystem::path dir_;
};

// The current folder for the life of the object.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder);
    ~InFolder();
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path previous_;
};
