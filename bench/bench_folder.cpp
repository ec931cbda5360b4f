#include "bench_folder.h"

#include <charconv>
#include <fstream>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

// 21 numbers, each followed by " \t", as the editors save them. The values
// change nothing in what reading costs; their count and layout do.
std::string coefficientText() {
    std::string text;
    for (int k = 0; k < 21; ++k) {
        char number[32];
        double value = (k % 2 ? -1.234567 : 1.234567) * (k + 1);
        auto end = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, 6).ptr;
        text.append(number, end).append(" \t");
    }
    return text;
}

}  // namespace

BenchFolder::BenchFolder(bool withCoefficientFiles) {
    std::string pattern = (fs::temp_directory_path() / "vbend_bench_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder in " + pattern);
    dir_ = pattern;
    fs::create_directory(dir_ / "data");
    fs::create_directory(dir_ / "poly");
    if (withCoefficientFiles)
        for (const char* name : {"A1.poly", "A2.poly", "H.poly"})
            std::ofstream(dir_ / "poly" / name, std::ios::binary) << coefficientText();
}

BenchFolder::~BenchFolder() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

InFolder::InFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }

InFolder::~InFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}
