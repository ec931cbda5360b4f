// The trainer's console: the solvability check (goal: under 200 ms) and the
// journal following trials written at 50 a second (goal: none missed).
#include "files.h"
#include "console_window.h"
#include "recorder.h"
#include "solvability.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <fstream>

namespace {

// A working folder holding data/ and poly/, current while it lives.
struct Folder {
    QTemporaryDir dir;
    std::filesystem::path start = std::filesystem::current_path();
    explicit Folder(bool coefficientFiles) {
        std::filesystem::create_directories(dir.path().toStdString() + "/data");
        std::filesystem::create_directories(dir.path().toStdString() + "/poly");
        std::filesystem::current_path(dir.path().toStdString());
        if (coefficientFiles)
            for (const char* name : {"poly/A1.poly", "poly/A2.poly", "poly/H.poly"}) {
                std::ofstream out(name);
                out << "130 ";
                for (int k = 1; k < 21; ++k) out << "0.5 \t";
            }
    }
    ~Folder() { std::filesystem::current_path(start); }
};

void BM_SolvabilityCheck(benchmark::State& state) {
    Folder folder(state.range(0) == 1);
    for (auto _ : state) benchmark::DoNotOptimize(checkSolvability(Scenario{}));
    state.SetLabel(state.range(0) == 1 ? "fichiers de coefficients" : "coefficients intégrés");
}
BENCHMARK(BM_SolvabilityCheck)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One trial as the simulator stores it: the three account files, then the
// log, each written by the runtime (temporary file renamed over the target).
void writeTrial(int n) {
    auto write = [](const char* name, const std::string& text) {
        mxArray fid = mlfFopen(mxArray::text(name), mxArray::text("w"));
        mlfNFprintf(fid, mxArray::text("%s"), mxArray::text(text));
        mlfFclose(fid);
    };
    write("data/CoutO.dat", std::to_string(2500 * n) + ".000000 ");
    write("data/CoutR.dat", std::to_string(350 * n) + ".000000 ");
    write("data/Nb_essai.dat", std::to_string(n) + ".000000 ");
    write("data/config_outillage.dat",
          "A=8,   R=8,   L=61,   C=34,   F=60 \nA1=132.806,   A2=128.8776,   H=32.8986 \n");
}

// Arg 0: the recorder alone; 1: the whole window, table and chart included.
void BM_JournalAt50TrialsPerSecond(benchmark::State& state) {
    constexpr int kTrials = 100;
    for (auto _ : state) {
        Folder folder(false);
        JournalFile journal(QDir("data").absoluteFilePath("journal.csv"));
        std::unique_ptr<TrialRecorder> recorder;
        std::unique_ptr<ConsoleWindow> window;
        std::function<int()> shown;
        if (state.range(0) == 0) {
            recorder = std::make_unique<TrialRecorder>(QDir::currentPath(), journal);
            shown = [&] { return int(journal.trials().size()); };
        } else {
            window = std::make_unique<ConsoleWindow>();
            window->show();
            shown = [&] { return int(window->sessionShown().size()); };
        }
        int written = 0;
        QElapsedTimer clock;
        std::vector<qint64> writtenAt, lags;
        // Rows are looked for every millisecond; a row's lag runs from the
        // write of its log to the moment it shows.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            while (int(lags.size()) < shown()) lags.push_back(clock.nsecsElapsed() - writtenAt.at(lags.size()));
        });
        QTimer pace;
        pace.setTimerType(Qt::PreciseTimer);
        QObject::connect(&pace, &QTimer::timeout, [&] {
            if (written == kTrials) return pace.stop();
            writtenAt.push_back(clock.nsecsElapsed());
            writeTrial(++written);
        });
        clock.start();
        watch.start(1);
        pace.start(20);
        const bool complete = QTest::qWaitFor([&] { return int(lags.size()) == kTrials; }, 10000);
        if (!complete) state.SkipWithError("le journal n'a pas suivi");
        state.counters["essais_ecrits"] = written;
        state.counters["essais_vus"] = double(lags.size());
        state.counters["retard_max_ms"] = lags.empty() ? 0 : double(*std::max_element(lags.begin(), lags.end())) / 1e6;
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    state.SetLabel(state.range(0) == 0 ? "enregistreur" : "fenêtre");
}
BENCHMARK(BM_JournalAt50TrialsPerSecond)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initializeSimulatorModules();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
