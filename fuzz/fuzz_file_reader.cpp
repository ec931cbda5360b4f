// The "%f" reader of files opened by id: any content reads as a column of
// numbers (or nothing), leaves no file open, and what it read, written back
// with full precision, reads again the same.
#include "files.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// The reader works on files only; one scratch file serves every input, in
// memory where there is a tmpfs (rewriting a disk file waits for the disk).
struct ScratchFile {
    std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                       "/vbend_fuzz_" + std::to_string(::getpid());
    ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& scratchFile() {
    static const ScratchFile file;
    return file.path;
}

mxArray readAll(const std::string& content) {
    std::FILE* out = std::fopen(scratchFile().c_str(), "wb");
    if (!out) std::abort();
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
    mxArray fid = mlfFopen(mxArray::text(scratchFile()));
    mxArray numbers = mlfFscanf(fid, mxArray::text("%f"));
    mclOnlyBlanksLeft(fid);
    mlfFclose(fid);
    if (mclOpenFileCount() != 0) std::abort();
    return numbers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mxArray first = readAll(std::string(reinterpret_cast<const char*>(data), size));
    if (first.numel() > size) std::abort();
    std::string written;
    char item[64];
    for (std::size_t k = 0; k < first.numel(); ++k) {
        std::snprintf(item, sizeof item, "%.17g ", first.at(k));
        written += item;
    }
    mxArray again = readAll(written);
    if (again.numel() != first.numel()) std::abort();
    for (std::size_t k = 0; k < first.numel(); ++k)
        if (again.at(k) != first.at(k) && !(std::isnan(again.at(k)) && std::isnan(first.at(k)))) std::abort();
    return 0;
}
