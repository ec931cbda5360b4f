// The host's fatal-fault handler: a program that faults says so on standard
// error, with the signal and the address, and ends with the status -1 (255).
#include "robustness.h"

#include <gtest/gtest.h>

namespace {

struct FaultCase {
    const char* function;
    const char* said;  // in the message
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.function; }

class FatalFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(FatalFaults, AreReportedWithTheirAddressAndEndTheProgramWithStatus255) {
    Workspace w;
    ScriptRun run = w.run(FAULT_FIXTURE_PROGRAM, std::string("call ") + GetParam().function + " 0\n");
    tally("faults");
    EXPECT_EQ(run.status, 255) << run.err;
    std::string message = "\nErreur fatale : accès mémoire invalide (" + std::string(GetParam().said);
    auto at = ("\n" + run.err).find(message);
    EXPECT_NE(at, std::string::npos) << run.err;
    EXPECT_EQ(("\n" + run.err).find("\nErreur fatale", at + 1), std::string::npos) << "reported twice:\n" << run.err;
}

const FaultCase kFaults[] = {
    {"null", "SIGSEGV, signal 11) à l'adresse 0x0 ; le programme s'arrête.\n"},
    {"bus", "SIGBUS, signal 7) à l'adresse 0x"},
    {"overflow", "SIGSEGV, signal 11) à l'adresse 0x"},
};
INSTANTIATE_TEST_SUITE_P(Robustness, FatalFaults, testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.function); });

}  // namespace
