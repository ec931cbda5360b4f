// Long use: ten thousand trials in one simulator process, its resident memory
// flat between the thousandth and the last.
#include "robustness.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

long residentKilobytes(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string key; status >> key;) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

TEST(Soak, TenThousandTrialsInOneProcessKeepMemoryFlat) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own bookkeeping grows with every allocation: soaked in the normal build";
#endif
    // In memory where there is a tmpfs: the soak is about the process, not the
    // disk, whose syncs would make it ten times longer.
    if (std::filesystem::is_directory("/dev/shm")) ::setenv("TMPDIR", "/dev/shm", 1);
    Workspace w;
    LiveSession simulator(SIMULATOR_PROGRAM, w.path());
    // Every trial moves a slider, so that each one is charged and counted.
    std::string thousand;
    for (int t = 0; t < 500; ++t) thousand += "slider 4 0\npress \"Réalisation essai\"\nslider 4 0.5\npress \"Réalisation essai\"\n";

    constexpr int kThousands = 10;
    long afterFirst = 0;
    for (int k = 1; k <= kThousands; ++k) {
        simulator.step(thousand);
        if (k == 1) afterFirst = residentKilobytes(simulator.pid());
    }
    long atEnd = residentKilobytes(simulator.pid());
    tally("soak_trials", 1000 * kThousands);
    std::cout << "resident memory: " << afterFirst << " kB at trial 1000, " << atEnd << " kB at trial "
              << 1000 * kThousands << "\n";

    EXPECT_TRUE(errorLines(simulator.errors()).empty()) << simulator.errors().substr(0, 2000);
    EXPECT_EQ(w.read("data/Nb_essai.dat"), std::to_string(1000 * kThousands) + ".000000 ");
    // A few pages of allocator slack, not a leak of a trial's chart (tens of kB each).
    EXPECT_LE(atEnd, afterFirst + afterFirst / 50 + 1024);
    EXPECT_TRUE(noCrash(simulator.finish(), simulator.errors()));
}

}  // namespace
