// The benchmarks measure what they claim only if their working folder sends
// the models down the path named: the files read when present, the built-in
// rows when not, and the folder left as it was found.
#include "bench_folder.h"
#include "main_mainhg.h"
#include "var_.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace {

class BenchFolderTest : public testing::Test {
protected:
    void SetUp() override { mclRunInitializers(_main_info); }
    void TearDown() override { mclRunTerminators(_main_info); }

    // At the centre every term but the constant is zero.
    static std::array<double, 3> atCentre() {
        mxArray zero = mxArray::scalar(0), A2, H;
        mxArray A1 = mlfVar_(&A2, &H, zero, zero, zero, zero, zero);
        return {A1.toScalar(), A2.toScalar(), H.toScalar()};
    }
};

TEST_F(BenchFolderTest, ModelsReadTheCoefficientFiles) {
    BenchFolder folder(true);
    InFolder inside(folder.path());
    EXPECT_EQ(atCentre(), (std::array<double, 3>{1.234567, 1.234567, 1.234567}));
}

TEST_F(BenchFolderTest, ModelsUseTheBuiltInRowsWithoutFiles) {
    BenchFolder folder(false);
    InFolder inside(folder.path());
    EXPECT_EQ(atCentre(), (std::array<double, 3>{132.8059994, 128.8776092, 32.89855927}));
}

TEST_F(BenchFolderTest, FolderIsLeftAndRemoved) {
    const auto start = std::filesystem::current_path();
    std::filesystem::path made;
    {
        BenchFolder folder(true);
        made = folder.path();
        InFolder inside(folder.path());
        EXPECT_EQ(std::filesystem::current_path(), made);
    }
    EXPECT_EQ(std::filesystem::current_path(), start);
    EXPECT_FALSE(std::filesystem::exists(made));
}

}  // namespace
