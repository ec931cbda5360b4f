// The solvability check against the simulator's own model functions and a
// brute-force scan of the slider box.
#include "errors.h"
#include "solvability.h"
#include "coefficient_file_writer.h"
#include "three_var.h"
#include "var_.h"
#include "working_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

// A working folder with poly/, current for the test.
class ModelFolderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory("poly"); }
    // Writes the three files as the editors do, one row each.
    static void writeRows(const std::array<std::array<double, 21>, 3>& rows) { writeCoefficientFiles(".", rows); }

private:
    const WorkingFolder folder_;
};

// The best value of three_var's formula on a regular grid of the box.
double bruteForceMinimum(const ModelSnapshot& model, int points) {
    double best = 1e300;
    forEachGridPoint(points, [&](const Setting& x) { best = std::min(best, model.deviation(x)); });
    return best;
}

// Coefficients under which the target is out of reach: the best setting is
// on the edge of the box and unique.
std::array<std::array<double, 21>, 3> unreachableTarget() {
    std::array<std::array<double, 21>, 3> rows{};
    rows[0] = {120, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.5, 0, 0, 0, 0};
    rows[1] = {150, 0, -2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.3, 0, 0, 0};
    rows[2] = {30, 0, 0, 0.2, 0.1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0.8, 0};
    return rows;
}

TEST_F(ModelFolderTest, SnapshotAgreesWithVarAndThreeVar) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coded(-1.5, 1.5);
    for (bool files : {false, true}) {
        if (files) writeRows(unreachableTarget());
        const ModelSnapshot model = ModelSnapshot::capture();
        for (int k = 0; k < 20; ++k) {
            Setting x{coded(random), coded(random), coded(random), coded(random), coded(random)};
            mxArray A2, H;
            const double A1 = mlfVar_(&A2, &H, mxArray::scalar(x[0]), mxArray::scalar(x[1]),
                                      mxArray::scalar(x[2]), mxArray::scalar(x[3]), mxArray::scalar(x[4]))
                                  .at(0);
            const Prediction p = model.predict(x);
            EXPECT_NEAR(p.A1, A1, 1e-9);
            EXPECT_NEAR(p.A2, A2.at(0), 1e-9);
            EXPECT_NEAR(p.H, H.at(0), 1e-9);
            EXPECT_NEAR(model.deviation(x), mlfThree_var(mxArray::row({x[0], x[1], x[2], x[3], x[4]})).at(0), 1e-8);
        }
    }
}

TEST_F(ModelFolderTest, BuiltInCoefficientsGiveASolvableExercise) {
    const Solvability s = checkSolvability(Scenario{});
    EXPECT_TRUE(s.bestMeetsTolerances);
    EXPECT_LT(s.best.threeVar, 1e-10);
    EXPECT_NEAR(s.best.prediction.A1, 135, 1e-4);
    EXPECT_NEAR(s.best.prediction.H, 30.44, 1e-4);
    for (double c : s.best.coded) {
        EXPECT_GE(c, -1);
        EXPECT_LE(c, 1);
    }
    EXPECT_GT(s.shareInTolerance, 0);
    EXPECT_LT(s.shareInTolerance, 0.01);
    EXPECT_TRUE(s.plausible());
    const QString text = solvabilityText(s, Scenario{});
    EXPECT_TRUE(text.contains("exercice faisable")) << text.toStdString();
    EXPECT_FALSE(text.contains("Attention"));
}

TEST_F(ModelFolderTest, OptimumMatchesABruteForceScan) {
    for (bool files : {false, true}) {
        if (files) writeRows(unreachableTarget());
        const ModelSnapshot model = ModelSnapshot::capture();
        const Optimum o = findOptimum(model);
        const double scanned = bruteForceMinimum(model, 21);
        // Never worse than the scan, and not far better: the scan's step is 0.1.
        EXPECT_LE(model.deviation(o.coded), scanned + 1e-9) << files;
        EXPECT_NEAR(o.threeVar, model.deviation(o.coded), 1e-9);
    }
    // With A1 and A2 out of reach, A, R and F go to the ends that come
    // closest; H is met exactly by L and C.
    const Optimum o = findOptimum(ModelSnapshot::capture());
    EXPECT_NEAR(o.real[0], 16, 1e-5);
    EXPECT_NEAR(o.real[1], 10, 1e-5);
    EXPECT_NEAR(o.real[4], 80, 1e-5);
    EXPECT_NEAR(o.prediction.H, 30.44, 1e-6);
    EXPECT_FALSE(checkSolvability(Scenario{}).bestMeetsTolerances);
}

TEST_F(ModelFolderTest, ImplausiblePredictionsAreWarned) {
    auto rows = unreachableTarget();
    rows[0][1] = 60;  // A1 swings ±60° over the die angle's range
    rows[2][3] = 40;  // H below zero at the narrow end of L
    writeRows(rows);
    const Solvability s = checkSolvability(Scenario{});
    EXPECT_FALSE(s.plausible());
    EXPECT_LT(s.minAngle, 90);
    EXPECT_LT(s.minHeight, 0);
    EXPECT_TRUE(solvabilityText(s, Scenario{}).contains("Attention"));
}

TEST_F(ModelFolderTest, DamagedCoefficientFileIsReportedNotGuessed) {
    writeRows(unreachableTarget());
    std::ofstream("poly/H.poly") << "1 2 3";
    try {
        checkSolvability(Scenario{});
        FAIL() << "no error";
    } catch (const mclError& e) {
        EXPECT_NE(std::string(e.what()).find("poly/H.poly"), std::string::npos) << e.what();
    }
}

}  // namespace
