// What the model and its runtime cost, call by call: the response-surface
// models with and without coefficient files, the profile, the objective, and
// the two conversions every trial goes through (numbers to label texts, a
// coefficient file to numbers).
#include "bench_folder.h"
#include "calcul_pts.h"
#include "main_mainhg.h"
#include "three_var.h"
#include "var_.h"

#include <benchmark/benchmark.h>

namespace {

mxArray n(double value) { return mxArray::scalar(value); }

// A trial's setting, coded: the sliders part-way along.
void varAt(benchmark::State& state, bool withFiles) {
    BenchFolder folder(withFiles);
    InFolder inside(folder.path());
    mxArray A = n(0.25), R = n(-0.5), L = n(0.75), C = n(-0.125), F = n(0.5);
    for (auto _ : state) {
        mxArray A2, H;
        benchmark::DoNotOptimize(mlfVar_(&A2, &H, A, R, L, C, F));
        benchmark::DoNotOptimize(H);
    }
}

void BM_var_FilesPresent(benchmark::State& state) { varAt(state, true); }
void BM_var_BuiltInRows(benchmark::State& state) { varAt(state, false); }

void BM_calcul_pts(benchmark::State& state) {
    mxArray A1 = n(132.8059994), A2 = n(128.8776092), H = n(32.89855927);
    for (auto _ : state) benchmark::DoNotOptimize(mlfCalcul_pts(A1, A2, H));
}

void BM_three_var(benchmark::State& state) {
    BenchFolder folder(false);
    InFolder inside(folder.path());
    mxArray setting = mxArray::row({-1, -1, 1, -2, -0.4});
    for (auto _ : state) benchmark::DoNotOptimize(mlfThree_var(setting));
}

// A predicted angle, the label text that shows the most digits.
void BM_num2str(benchmark::State& state) {
    mxArray value = n(144.14877512345);
    for (auto _ : state) benchmark::DoNotOptimize(mlfNum2str(value));
}

void BM_fscanf21(benchmark::State& state) {
    BenchFolder folder(true);
    mxArray name = mxArray::text(folder.coefficientFile().string());
    mxArray read = mxArray::text("r"), numbers = mxArray::text("%f");
    for (auto _ : state) {
        mxArray fid = mlfFopen(name, read);
        benchmark::DoNotOptimize(mlfFscanf(fid, numbers));
        mlfFclose(fid);
    }
}

BENCHMARK(BM_var_FilesPresent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_var_BuiltInRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_calcul_pts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_three_var)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_num2str)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fscanf21)->Unit(benchmark::kMicrosecond);

}  // namespace

// The modules' constants exist only between their initialisers and
// terminators, run in the host's order.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    mclRunInitializers(_main_info);
    benchmark::RunSpecifiedBenchmarks();
    mclRunTerminators(_main_info);
    benchmark::Shutdown();
    return 0;
}
