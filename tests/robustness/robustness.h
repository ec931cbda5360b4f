// Support for the robustness tests: what they tried, counted for the summary
// that scripts/test prints, and the checks every program run gets.
#pragma once

#include "session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// Adds n to one count of the summary: "faults", "bad_inputs", "soak_trials",
// "torn_or_lost" or "crashes".
void tally(const std::string& what, long n = 1);

// Success unless the run ended on a signal, on the fault handler's status or
// with a sanitizer's report; a crash is counted.
testing::AssertionResult noCrash(int status, const std::string& err);

// The messages of the errors that escaped a callback or a script line.
std::vector<std::string> errorLines(const std::string& err);

// Every file below the folder, by path relative to it, with its content; the
// station journal's database files are left out.
using Files = std::map<std::string, std::string>;
Files filesIn(const std::filesystem::path& folder);

// Compares with what a folder held before, counting each file that changed
// or went missing.
testing::AssertionResult unchanged(const Files& before, const std::filesystem::path& folder);

// The folder a running program works in.
std::filesystem::path workingFolderOf(int pid);
