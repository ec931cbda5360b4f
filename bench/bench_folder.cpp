#include "bench_folder.h"

#include "coefficient_file_writer.h"

#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

// The values change nothing in what reading costs; the files' count and layout do.
bending::TermRow benchRow() {
    bending::TermRow row;
    for (int k = 0; k < bending::kTermCount; ++k) row[k] = (k % 2 ? -1.234567 : 1.234567) * (k + 1);
    return row;
}

}  // namespace

BenchFolder::BenchFolder(bool withCoefficientFiles) {
    std::string pattern = (fs::temp_directory_path() / "vbend_bench_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder in " + pattern);
    dir_ = pattern;
    fs::create_directory(dir_ / "data");
    fs::create_directory(dir_ / "poly");
    if (withCoefficientFiles) writeCoefficientFiles(dir_, {benchRow(), benchRow(), benchRow()});
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
