// The trainer's console: the solvability check (goal: under 200 ms), the
// station's journal followed while trials are written at 50 a second (goal:
// none missed), and the session report of 1,000 trials (goal: under 2 s).
#include "coefficient_file_writer.h"
#include "console_window.h"
#include "journal_follower.h"
#include "replay_view.h"
#include "report.h"
#include "session_view.h"
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
        if (coefficientFiles) {
            bending::TermRow row;
            row.fill(0.5);
            row[0] = 130;
            writeCoefficientFiles(".", {row, row, row});
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

// One trial as the simulator records it: a row of the station's journal.
void writeTrial(StationJournal& journal, int n) {
    JournalRow r;
    r.station = "P1";
    r.session = "bench";
    r.number = r.count = n;
    r.recorded = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    r.setting[0] = 8, r.setting[1] = 8, r.setting[2] = 61, r.setting[3] = 34, r.setting[4] = 60;
    r.A1 = 132.806, r.A2 = 128.8776, r.H = 32.8986;
    r.tooling = 2500.0 * n, r.adjustment = 350.0 * n;
    r.charged = true;
    QString error;
    if (!journal.append({r}, &error)) std::abort();
}

// Arg 0: the journal follower alone; 1: the whole window, table and chart included.
void BM_JournalAt50TrialsPerSecond(benchmark::State& state) {
    constexpr int kTrials = 100;
    for (auto _ : state) {
        Folder folder(false);
        StationJournal journal(QDir("data").absoluteFilePath("journal.sqlite"));
        QString error;
        if (!journal.open(&error)) std::abort();
        std::unique_ptr<JournalFollower> follower;
        std::unique_ptr<ConsoleWindow> window;
        std::function<int()> shown;
        if (state.range(0) == 0) {
            follower = std::make_unique<JournalFollower>(QDir("data").absolutePath());
            shown = [&] { return int(follower->lastSession().size()); };
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
            writeTrial(journal, ++written);
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
    state.SetLabel(state.range(0) == 0 ? "suivi du journal" : "fenêtre");
}
BENCHMARK(BM_JournalAt50TrialsPerSecond)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A session of 1,000 trials, each moving the settings a little.
std::vector<Trial> longSession() {
    std::vector<Trial> trials;
    const QDateTime start(QDate(2024, 3, 5), QTime(9, 0));
    for (int n = 1; n <= 1000; ++n) {
        Trial t;
        t.station = "Poste 3";
        t.trainee = "Léa Dubois";
        t.session = "bench";
        t.number = t.count = n;
        t.time = start.addSecs(20 * n);
        t.setting = {8.0 + n % 5, 8, 61.0 + n % 3, 34, 60.0 - n % 7};
        t.A1 = 132.806 + 0.002 * (n % 1000), t.A2 = 128.8776 + 0.005 * (n % 700), t.H = 32.8986 - 0.001 * (n % 900);
        t.tooling = 2500.0 * n, t.adjustment = 350.0 * n;
        t.charged = true;
        t.fingerprint = "intégrés";
        trials.push_back(t);
    }
    return trials;
}

// The PDF of a session of 1,000 trials, with the console's chart of it.
void BM_SessionReport(benchmark::State& state) {
    SessionReport report;
    report.trials = longSession();
    SessionView view;
    view.showTrials(report.trials);
    report.chart = view.chartImage(340, 230, 4.0);
    QTemporaryDir dir;
    for (auto _ : state)
        if (!writeReportPdf(dir.filePath("rapport.pdf"), report)) state.SkipWithError("rapport non écrit");
}
BENCHMARK(BM_SessionReport)->Unit(benchmark::kMillisecond);

// One step of the debrief through a session of 1,000 trials, from the key to
// the repainted window: its texts, gauges, timeline and chart.
void BM_ReplayStep(benchmark::State& state) {
    Folder folder(false);
    ReplayView view(longSession(), {{}, "Poste 3", "bench"}, Scenario{}, QDir("data").absolutePath());
    view.resize(1280, 800);
    view.show();
    QCoreApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 1000;
        QTest::keyClick(&view, step == 0 ? Qt::Key_Home : Qt::Key_Right);
        QCoreApplication::processEvents();
        if (view.current() != step) state.SkipWithError("l'essai n'a pas changé");
    }
}
BENCHMARK(BM_ReplayStep)->Unit(benchmark::kMillisecond);

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
