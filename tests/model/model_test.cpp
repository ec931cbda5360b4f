#include "bending_model.h"
#include "coefficient_file.h"
#include "coefficient_file_writer.h"
#include "coefficient_history.h"
#include "var_.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <filesystem>
#include <regex>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string get(const fs::path& file) { return file_safety::readRegularFile(file.string()).content; }

// A working folder with an empty poly/, current for the test.
class ModelFolder : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("bending_model_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "poly");
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(start_);
        fs::remove_all(dir_);
    }

private:
    fs::path start_ = fs::current_path(), dir_;
};

TEST_F(ModelFolder, EveryCoefficientWriteKeepsTheReplacedFileFiftyDeep) {
    const std::string fitted = "132.805999 \t-1.931088 \t";
    const std::string zeros = "0.000000 \t0.000000 \t";
    EXPECT_TRUE(bending::writeCoefficientFile("poly", "A1", fitted).ok());
    EXPECT_TRUE(bending::coefficientHistory("poly", "A1").empty());  // nothing was replaced
    EXPECT_TRUE(bending::writeCoefficientFile("poly", "A1", zeros).ok());
    EXPECT_TRUE(bending::writeCoefficientFile("poly", "A1", zeros).ok());  // zeros over zeros: nothing replaced
    auto versions = bending::coefficientHistory("poly", "A1");
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(get(versions[0].path), fitted);
    EXPECT_EQ(fs::path(versions[0].path).parent_path(), fs::path("poly/historique"));
    EXPECT_TRUE(std::regex_match(fs::path(versions[0].path).filename().string(),
                                 std::regex(R"(A1-\d{4}-\d\d-\d\dT\d\d-\d\d-\d\d(-\d+)?\.poly)")));
    // Restoring the fitted model gives it back byte for byte; the zeros are kept.
    EXPECT_TRUE(bending::writeCoefficientFile("poly", "A1", get(versions[0].path)).ok());
    EXPECT_EQ(get("poly/A1.poly"), fitted);
    EXPECT_EQ(get(bending::coefficientHistory("poly", "A1")[0].path), zeros);
    // Sixty more saves, many within one second: the fifty latest stay, newest first.
    for (int i = 0; i < 60; ++i) EXPECT_TRUE(bending::writeCoefficientFile("poly", "A1", std::to_string(i)).ok());
    versions = bending::coefficientHistory("poly", "A1");
    ASSERT_EQ(versions.size(), 50u);
    EXPECT_EQ(get(versions[0].path), "58");
    EXPECT_EQ(get(versions[49].path), "9");
    EXPECT_TRUE(bending::coefficientHistory("poly", "H").empty());  // per model
}

// The simulator's var_ and the model give the same numbers to the last bit,
// from the files and from the built-in rows; the fingerprint names what they use.
TEST_F(ModelFolder, TheSimulatorEvaluatesWhatTheModelReadsAndTheFingerprintNamesIt) {
    InitializeModule_var_();
    auto expectSameAsSimulator = [](const bending::ModelRows& rows) {
        for (const bending::Coded& x : {bending::Coded{}, bending::Coded{2, 3, 5, 7, 11}, bending::Coded{-1, 0.3, 1, -0.7, 0.1}}) {
            mxArray A2, H;
            const mxArray A1 = mlfVar_(&A2, &H, mxArray::scalar(x[0]), mxArray::scalar(x[1]), mxArray::scalar(x[2]),
                                       mxArray::scalar(x[3]), mxArray::scalar(x[4]));
            EXPECT_EQ(A1.at(0), bending::evaluate(rows[0], x));
            EXPECT_EQ(A2.at(0), bending::evaluate(rows[1], x));
            EXPECT_EQ(H.at(0), bending::evaluate(rows[2], x));
        }
    };
    EXPECT_EQ(bending::rowsInUse("poly"), bending::builtInRows());
    expectSameAsSimulator(bending::builtInRows());
    EXPECT_EQ(bending::coefficientFingerprint("poly"), "intégrés");

    bending::ModelRows rows{};
    for (int m = 0; m < 3; ++m)
        for (int k = 0; k < bending::kTermCount; ++k) rows[m][k] = (m + 1) * (k % 2 ? -0.125 : 1.5) * (k + 1);
    writeCoefficientFiles(".", rows);
    EXPECT_EQ(get("poly/H.poly").substr(0, 20), "4.500000 \t-0.750000 ");  // the editors' layout
    ASSERT_EQ(bending::rowsInUse("poly"), rows);
    expectSameAsSimulator(rows);
    const QString fingerprint = bending::coefficientFingerprint("poly");
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{64}$").match(fingerprint).hasMatch()) << fingerprint.toStdString();

    rows[2][20] = 1;
    writeCoefficientFiles(".", rows);
    EXPECT_NE(bending::coefficientFingerprint("poly"), fingerprint);
    fs::remove("poly/A2.poly");
    EXPECT_EQ(bending::coefficientFingerprint("poly"), "intégrés");
}

TEST(BendingModel, TermsFollowTheFilesOrder) {
    const auto& names = bending::termNames();
    EXPECT_EQ(names[0], "1");
    EXPECT_EQ(names[5], "F");
    EXPECT_EQ(names[6], "A·R");
    EXPECT_EQ(names[15], "C·F");
    EXPECT_EQ(names[16], "A²");
    EXPECT_EQ(bending::termRow({2, 3, 5, 7, 11})[15], 77);
    const facts::Variable& force = facts::kVariables[4];
    EXPECT_EQ(bending::realValue(force, -1), 40);
    EXPECT_EQ(bending::codedValue(force, 70), 0.5);
}

}  // namespace
