// What a calibration fit costs: the plan a trainer runs on the press, and a
// very large set of runs (a sheet gathered over years, or made by a script).
#include "fit.h"
#include "plan.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace etalonnage;

namespace {

// The factorisation of the runs and the three models, as the program does it.
void fitThree(benchmark::State& state, const std::vector<Coded>& runs) {
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 0.1);
    Eigen::MatrixXd y(runs.size(), 3);
    for (Eigen::Index i = 0; i < y.rows(); ++i)
        for (int m = 0; m < 3; ++m) y(i, m) = 130 + 3 * runs[std::size_t(i)][m] + noise(random);
    for (auto _ : state) {
        const LeastSquares ls(runs);
        for (int m = 0; m < 3; ++m) benchmark::DoNotOptimize(ls.fit(y.col(m)));
    }
}

void BM_fit_plan32(benchmark::State& state) {
    std::vector<Coded> runs;
    for (const PlanRun& r : makePlan(kDefaultCentres, 1).runs) runs.push_back(r.coded);
    fitThree(state, runs);
}

void BM_fit_100000_runs(benchmark::State& state) {
    std::mt19937 random(2);
    std::uniform_real_distribution<double> level(-1, 1);
    std::vector<Coded> runs(100000);
    for (Coded& x : runs)
        for (double& v : x) v = level(random);
    fitThree(state, runs);
}

}  // namespace

BENCHMARK(BM_fit_plan32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fit_100000_runs)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
