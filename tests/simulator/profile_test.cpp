#include "calcul_pts.h"
#include "simulator_test_support.h"

#include <cmath>
#include <vector>

namespace {

mxArray profile(double A1, double A2, double H) {
    return mlfCalcul_pts(mxArray::scalar(A1), mxArray::scalar(A2), mxArray::scalar(H));
}

TEST_F(SimulatorTest, ProfilePoints) {
    struct {
        double A1, A2, H, P2x, P3y, tolerance;
    } cases[] = {
        {135, 135, 30.44, 60.440000000000005, 30.44, 0},  // the target profile
        {132.8059994, 128.8776092, 32.89855927, 60.470799, 31.557470, 5e-7},
        {120, 120, 25, 44.433757, 25, 5e-7},  // equal angles: flat second flange
        {150, 150, 30, 81.961524, 30, 5e-7},  // P2 beyond x = 80, not clamped
        {90, 90, 20, 30, 20, 1e-12},          // vertical first flange
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.A1);
        mxArray liste = profile(c.A1, c.A2, c.H);
        ASSERT_EQ(liste.sizeText(), "4x2");
        // Column-major: x of P0..P3, then y of P0..P3.
        const std::vector<double>& v = liste.real();
        EXPECT_EQ((std::vector<double>{v[0], v[1], v[3], v[4], v[5], v[6]}),
                  (std::vector<double>{0, 30, 80, 0, 0, c.H}));
        EXPECT_NEAR(v[2], c.P2x, c.tolerance);
        EXPECT_NEAR(v[7], c.P3y, c.tolerance);
    }
}

TEST_F(SimulatorTest, FlatFirstFlangeGivesNonFinitePointsWithoutRaising) {
    mxArray raised = profile(180, 150, 10);
    EXPECT_TRUE(std::isinf(raised.at(2, 0)));
    EXPECT_FALSE(std::isfinite(raised.at(3, 1)));
    EXPECT_TRUE(std::isnan(profile(180, 150, 0).at(2, 0)));
}

}  // namespace
