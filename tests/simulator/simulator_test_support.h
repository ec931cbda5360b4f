// Shared by the simulator's tests.
#pragma once

#include "array.h"
#include "main_mainhg.h"
#include "working_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

// One program life per test: initialisers before it, terminators and fresh
// globals after it.
class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override { mclRunInitializers(_main_info); }
    void TearDown() override {
        mclRunTerminators(_main_info);
        for (int g = 0; g < _main_info.globalCount; ++g) _main_info.globalTable[g].storage->clear();
    }
};

// The same in a fresh temporary folder, current for the test, holding poly/.
class SimulatorFolderTest : public SimulatorTest {
protected:
    void SetUp() override {
        fs::create_directory("poly");
        SimulatorTest::SetUp();
    }
    static void writeFile(const fs::path& name, const std::string& content) {
        std::ofstream(name, std::ios::binary) << content;
    }

private:
    const WorkingFolder folder_;
};

inline auto raises(const std::string& text) {
    return ::testing::ThrowsMessage<mclError>(::testing::HasSubstr(text));
}
