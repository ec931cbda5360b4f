// The plan, and the fit checked against data made from known coefficients and
// against statistics computed by a second route.
#include "fit.h"
#include "plan.h"

#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace etalonnage;

namespace {

// The simulator's built-in A1 row: a realistic surface.
const TermRow kTrue = {132.8059994, -1.931087942, 1.086162249, 3.55587323, -2.095970998, -3.1288359,
                       -0.254279732, -0.52930133, 0.268705182, -0.081378716, 0.099218339, -0.098211872,
                       -0.065952902, -0.030779209, 0.09334202, -0.007962146, -0.728896251, 0.199819533,
                       0.035203787, 0.367702197, 0.286598138};

std::vector<Coded> settings(const Plan& plan) {
    std::vector<Coded> x;
    for (const PlanRun& r : plan.runs) x.push_back(r.coded);
    return x;
}

Eigen::VectorXd response(const std::vector<Coded>& runs, double noise, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> error(0, noise);
    Eigen::VectorXd y(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        y[Eigen::Index(i)] = evaluate(kTrue, runs[i]) + (noise > 0 ? error(random) : 0);
    }
    return y;
}

Eigen::MatrixXd termMatrix(const std::vector<Coded>& runs) {
    Eigen::MatrixXd X(runs.size(), kTermCount);
    for (std::size_t i = 0; i < runs.size(); ++i)
        for (int k = 0; k < kTermCount; ++k) X(Eigen::Index(i), k) = termRow(runs[i])[k];
    return X;
}

std::string refusal(const std::vector<Coded>& runs) {
    try {
        LeastSquares ls(runs);
    } catch (const NotEstimable& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Plan, FaceCentredHalfFractionAxialAndCentreRunsInSeededOrder) {
    const Plan plan = makePlan(kDefaultCentres, 42);
    ASSERT_EQ(plan.runs.size(), 32u);
    std::multiset<std::string> kinds;
    for (std::size_t i = 0; i < plan.runs.size(); ++i) {
        const PlanRun& r = plan.runs[i];
        EXPECT_EQ(r.number, int(i) + 1);
        kinds.insert(r.kind);
        for (double x : r.coded) EXPECT_TRUE(x == -1 || x == 0 || x == 1);
        if (std::string(r.kind) == "factoriel") {
            EXPECT_EQ(r.coded[4], r.coded[0] * r.coded[1] * r.coded[2] * r.coded[3]);
        }
    }
    EXPECT_EQ(kinds.count("factoriel"), 16u);
    EXPECT_EQ(kinds.count("axial"), 10u);
    EXPECT_EQ(kinds.count("centre"), 6u);

    // Resolution V: on the fraction, the main effects and the products are
    // all orthogonal to one another.
    std::vector<Coded> fraction;
    for (const PlanRun& r : plan.runs)
        if (std::string(r.kind) == "factoriel") fraction.push_back(r.coded);
    const Eigen::MatrixXd F = termMatrix(fraction).middleCols(0, 16);
    EXPECT_TRUE((F.transpose() * F).isApprox(16 * Eigen::MatrixXd::Identity(16, 16)));

    // The seed replays the order; another seed gives another.
    auto order = [](const Plan& p) {
        std::vector<Coded> x;
        for (const PlanRun& r : p.runs) x.push_back(r.coded);
        return x;
    };
    EXPECT_EQ(order(makePlan(kDefaultCentres, 42)), order(plan));
    EXPECT_NE(order(makePlan(kDefaultCentres, 43)), order(plan));
    EXPECT_EQ(makePlan(0, 1).runs.size(), 26u);
    EXPECT_NO_THROW(LeastSquares(settings(makePlan(0, 1))));
}

TEST(Fit, KnownCoefficientsComeBackExactlyWithoutNoiseAndWithinIntervalsWithNoise) {
    const std::vector<Coded> runs = settings(makePlan(kDefaultCentres, 5));
    const LeastSquares ls(runs);
    const ModelFit exact = ls.fit(response(runs, 0, 0));
    for (int k = 0; k < kTermCount; ++k) EXPECT_NEAR(exact.coefficients[k], kTrue[k], 1e-9) << termNames()[k];
    EXPECT_NEAR(exact.r2, 1, 1e-12);
    EXPECT_LT(exact.rmse, 1e-9);

    // Three noises, three seeds: each coefficient inside its 99.9 % interval,
    // and the residual error near the noise put in.
    for (unsigned seed : {1u, 2u, 3u}) {
        const double sigma = 0.05 * seed;
        const ModelFit f = ls.fit(response(runs, sigma, seed));
        const double t = boost::math::quantile(boost::math::students_t(f.dfResidual), 0.9995);
        for (int k = 0; k < kTermCount; ++k)
            EXPECT_LE(std::abs(f.coefficients[k] - kTrue[k]), t * f.standardErrors[k]) << termNames()[k] << " seed " << seed;
        EXPECT_GT(f.rmse, 0.4 * sigma);
        EXPECT_LT(f.rmse, 1.8 * sigma);
        EXPECT_TRUE(f.outliers.empty());
        ASSERT_TRUE(f.lackOfFit);
        EXPECT_EQ(f.lackOfFit->dfLack, 6);
        EXPECT_EQ(f.lackOfFit->dfPure, 5);
    }
}

// The second route: the normal equations solved by a Cholesky factorisation,
// the covariance from an LU inverse, PRESS and the studentised residuals by
// actually refitting without each run, p values from the incomplete beta
// function rather than the t distribution, lack of fit from the group means.
TEST(Fit, StatisticsAgreeWithNormalEquationsAndLeaveOneOutRefits) {
    std::vector<Coded> runs = settings(makePlan(4, 9));
    runs.push_back({1, 1, 1, 1, 1});  // a replicated corner as well as the centre
    runs.push_back({1, 1, 1, 1, 1});
    runs.push_back({0.3, -0.2, 0.5, 0.9, -0.7});  // and a run off the grid
    Eigen::VectorXd y = response(runs, 0.2, 11);
    // One bad run, at the centre: a corner's leverage would hide it.
    const int bad = int(std::find(runs.begin(), runs.end(), Coded{}) - runs.begin());
    y[bad] += 2.5;
    const int n = int(runs.size()), p = kTermCount, df = n - p;
    const ModelFit f = LeastSquares(runs).fit(y);

    const Eigen::MatrixXd X = termMatrix(runs);
    const Eigen::MatrixXd XtX = X.transpose() * X;
    const Eigen::VectorXd beta = XtX.ldlt().solve(X.transpose() * y);
    const Eigen::MatrixXd inverse = XtX.fullPivLu().inverse();
    const Eigen::VectorXd e = y - X * beta;
    const double mse = e.squaredNorm() / df;
    const double sst = (y.array() - y.mean()).square().sum();
    for (int k = 0; k < p; ++k) {
        EXPECT_NEAR(f.coefficients[k], beta[k], 1e-9);
        EXPECT_NEAR(f.standardErrors[k], std::sqrt(mse * inverse(k, k)), 1e-9);
        const double t = beta[k] / std::sqrt(mse * inverse(k, k));
        EXPECT_NEAR(f.p[k], boost::math::ibeta(df / 2.0, 0.5, df / (df + t * t)), 1e-9);
    }
    EXPECT_NEAR(f.r2, 1 - e.squaredNorm() / sst, 1e-12);
    EXPECT_NEAR(f.r2Adjusted, 1 - mse / (sst / (n - 1)), 1e-12);
    EXPECT_NEAR(f.rmse, std::sqrt(mse), 1e-12);

    double press = 0;
    std::vector<int> atypical;
    for (int i = 0; i < n; ++i) {
        Eigen::MatrixXd Xi(n - 1, p);
        Eigen::VectorXd yi(n - 1);
        for (int j = 0, r = 0; j < n; ++j)
            if (j != i) Xi.row(r) = X.row(j), yi[r++] = y[j];
        const Eigen::MatrixXd Ai = (Xi.transpose() * Xi).fullPivLu().inverse();
        const Eigen::VectorXd bi = Ai * Xi.transpose() * yi;
        const double deleted = y[i] - X.row(i).dot(bi);
        press += deleted * deleted;
        const double si2 = (yi - Xi * bi).squaredNorm() / (n - 1 - p);
        const double ti = deleted / std::sqrt(si2 * (1 + X.row(i) * Ai * X.row(i).transpose()));
        EXPECT_NEAR(f.studentized[i], ti, 1e-7) << "run " << i;
        if (std::abs(ti) > 3) atypical.push_back(i);
    }
    EXPECT_NEAR(f.r2Predicted, 1 - press / sst, 1e-9);
    EXPECT_EQ(f.outliers, atypical);
    EXPECT_NE(std::find(atypical.begin(), atypical.end(), bad), atypical.end());

    // Pure error from the two groups of replicates.
    std::map<Coded, std::vector<double>> groups;
    for (int i = 0; i < n; ++i) groups[runs[i]].push_back(y[i]);
    double pure = 0;
    int dfPure = 0;
    for (const auto& [x, ys] : groups) {
        const double mean = std::accumulate(ys.begin(), ys.end(), 0.0) / ys.size();
        for (double v : ys) pure += (v - mean) * (v - mean);
        dfPure += int(ys.size()) - 1;
    }
    const int dfLack = int(groups.size()) - p;
    const double F = ((e.squaredNorm() - pure) / dfLack) / (pure / dfPure);
    ASSERT_TRUE(f.lackOfFit);
    EXPECT_EQ(f.lackOfFit->dfPure, dfPure);
    EXPECT_EQ(f.lackOfFit->dfLack, dfLack);
    EXPECT_NEAR(f.lackOfFit->F, F, 1e-9);
    EXPECT_NEAR(f.lackOfFit->p, boost::math::ibeta(dfPure / 2.0, dfLack / 2.0, dfPure / (dfPure + dfLack * F)), 1e-9);

    // A value from the printed tables: t = 2.228 on 10 degrees of freedom is p = 0.05.
    EXPECT_NEAR(2 * boost::math::cdf(boost::math::complement(boost::math::students_t(10), 2.228)), 0.05, 1e-4);
}

TEST(Fit, RunsThatCannotSeparateTheTermsAreRefusedNamingThem) {
    std::vector<Coded> runs = settings(makePlan(kDefaultCentres, 3));
    const std::vector<Coded> fifteen(runs.begin(), runs.begin() + 15);
    const std::string few = refusal(fifteen);
    EXPECT_NE(few.find("15 essais pour 21 termes"), std::string::npos) << few;
    EXPECT_NE(few.find("Termes qui ne peuvent pas être séparés : "), std::string::npos) << few;

    // R set with A on every run: A with R, and every product through them, confound.
    for (Coded& x : runs) x[1] = x[0];
    const std::string together = refusal(runs);
    for (const char* group : {"– A, R\n", "– A·L, R·L", "– A·C, R·C", "– A·F, R·F"})
        EXPECT_NE(together.find(group), std::string::npos) << group << " in " << together;
    EXPECT_NE(together.find("A·R"), std::string::npos);
    EXPECT_NE(together.find("Aucun fichier n'a été écrit."), std::string::npos);

    // No product of F with the others: F never moves.
    std::vector<Coded> still = settings(makePlan(kDefaultCentres, 3));
    for (Coded& x : still) x[4] = 0;
    EXPECT_NE(refusal(still).find("F, A·F, R·F, L·F, C·F, F²"), std::string::npos) << refusal(still);
}

// Results out of all measure overflow the sums of squares or an F: refused in
// French, never a NaN coefficient nor Boost's English message.
TEST(Fit, ResultsThatOverflowAreRefusedInFrench) {
    const Plan plan = makePlan(kDefaultCentres, 3);
    const std::vector<Coded> runs = settings(plan);
    const LeastSquares ls(runs);
    auto refusal = [&](const Eigen::VectorXd& y) {
        try {
            ls.fit(y);
        } catch (const NotFinite& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    Eigen::VectorXd huge(runs.size());
    for (Eigen::Index i = 0; i < huge.size(); ++i) huge[i] = i % 2 ? 1e308 : -1e308;
    EXPECT_NE(refusal(huge).find("la somme de leurs carrés"), std::string::npos) << refusal(huge);

    // Centre runs a hair apart and one run at 1e150: the lack of fit's F is infinite.
    Eigen::VectorXd y = response(runs, 0, 0);
    int centres = 0, others = 0;
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (std::string(plan.runs[i].kind) == "centre")
            y[Eigen::Index(i)] = 135 + (centres++ ? 1e-9 : 0);
        else if (others++ == 0)
            y[Eigen::Index(i)] = 1e150;
    EXPECT_EQ(refusal(y), "Le test du manque d'ajustement ne peut pas être calculé : sa valeur dépasse ce qu'un "
                          "nombre peut représenter.");
}
