// A program whose functions fault on purpose, for the host's fatal-fault
// handler: "call null 0", "call bus 0" and "call overflow 0" each end it.
#include "graphics.h"
#include "host.h"

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void mlxFixture(int, mxArray[], int, mxArray[]) {}

// Unchecked by UBSan, which would stop the sanitizer build before the fault.
__attribute__((no_sanitize("undefined"))) void mlxNull(int, mxArray[], int, mxArray[]) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

// A page of a file that has no byte there any more.
void mlxBus(int, mxArray[], int, mxArray[]) {
    std::FILE* file = std::tmpfile();
    if (!file || ::ftruncate(::fileno(file), 4096) != 0) std::abort();
    auto* page = static_cast<volatile char*>(
        ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, ::fileno(file), 0));
    if (page == MAP_FAILED || ::ftruncate(::fileno(file), 0) != 0) std::abort();
    page[0] = 1;
}

// Deep enough for any stack; volatile so that it is not turned into a loop.
int depth(volatile int n) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(n);
    return n <= 0 ? frame[0] : depth(n - 1) + frame[0];
}

void mlxOverflow(int, mxArray[], int, mxArray[]) { depth(1 << 30); }

const mlfFunctionTableEntry functions[] = {
    {"fixture", mlxFixture, -1, 0, nullptr},
    {"null", mlxNull, 0, 0, nullptr},
    {"bus", mlxBus, 0, 0, nullptr},
    {"overflow", mlxOverflow, 0, 0, nullptr},
};
const mclInitTermEntry initTerm[] = {
    {libfuncInitialize, libfuncTerminate},
    {libgraphInitialize, libgraphTerminate},
};
const mclMainInfo info = {1, 4, functions, 0, nullptr, 0, nullptr, 2, initTerm};

}  // namespace

int main(int argc, char** argv) { return mclMainhg(argc, argv, mlxFixture, 0, info); }
