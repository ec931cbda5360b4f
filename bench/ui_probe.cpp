// The simulator's window timed as an operator meets it, on Qt's offscreen
// platform. The program runs as `main` runs it (the same host, the same
// description record, a working folder with data/ and poly/ holding the three
// coefficient files); a probe, added when the application object is built,
// drives the real widgets and watches the event loop.
//
//   ui_probe startup RUNS            start-up to the settled first paint, one process a run
//   ui_probe scripted RUNS MAIN BARE_WINDOW
//                                    the program MAIN in whole processes, with an empty
//                                    script and with 100 trials, beside BARE_WINDOW
//   ui_probe session MOVES TRIALS [SERVEUR]
//                                    slider moves, then trials after 100 uncounted ones,
//                                    in one process, with its memory; with SERVEUR, the
//                                    station's journal is sent to that class database
//
// Prints one line a figure, tab-separated: name, median, low, high, unit,
// where low and high are the 10th and 90th percentiles of the samples.
#include "bench_folder.h"
#include "facts.h"
#include "host.h"
#include "main.h"
#include "main_mainhg.h"
#include "station_settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <qcustomplot.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <limits>
#include <malloc.h>
#include <memory>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// ---- figures ---------------------------------------------------------------------

void print(const char* name, double median, double low, double high, const char* unit) {
    std::printf("%s\t%.3f\t%.3f\t%.3f\t%s\n", name, median, low, high, unit);
    std::fflush(stdout);
}

double percentile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5)];
}

void printSamples(const char* name, const std::vector<double>& samples, const char* unit) {
    print(name, percentile(samples, 0.5), percentile(samples, 0.1), percentile(samples, 0.9), unit);
}

void printOne(const char* name, double value, const char* unit) { print(name, value, value, value, unit); }

double residentMegabytes() {
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024 * 1024);
}

// Bytes the program holds on the heap: unlike resident pages, this falls back
// when what a trial allocates is freed.
double heapBytesInUse() {
    struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "ui_probe: %s\n", why.c_str());
    std::exit(1);
}

// ---- the event loop, watched -------------------------------------------------------

// Times an action (a click, a key) until the event loop has served all it
// queued: the callback's replots, repaints and deferred deletions. Idle is a
// check, queued behind every pending event, that finds nothing else was
// served since the previous check. Which widgets painted meanwhile is kept
// for the caller to look at.
class Settler : public QObject {
public:
    using Action = std::function<void(int sample)>;
    using Done = std::function<void(std::vector<double> milliseconds)>;

    Settler() : QObject(qApp) { qApp->installEventFilter(this); }

    // Times action(0) ... action(count - 1), each started from a fresh turn of
    // the event loop; settled(sample) looks at the window once a sample has
    // settled, and done gets the times. With no action, one sample from now
    // until the window has painted and settled.
    void repeat(int count, Action action, Action settled, Done done) {
        count_ = count;
        action_ = std::move(action);
        settled_ = std::move(settled);
        done_ = std::move(done);
        samples_.clear();
        if (action_) {
            QCoreApplication::postEvent(this, new QEvent(kStart));
        } else {
            painted_.clear();
            start_ = Clock::now();
            check();
        }
    }

    bool painted(const QWidget* widget) const { return painted_.count(widget) != 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != this) {
            ++served_;
            if (event->type() == QEvent::Paint) painted_.insert(watched);
        }
        return false;
    }

    void customEvent(QEvent* event) override {
        if (event->type() == kStart) {
            painted_.clear();
            start_ = Clock::now();
            action_(static_cast<int>(samples_.size()));
            check();
        } else if (served_ > 0 || (!action_ && painted_.empty())) {  // or the window is yet to show
            check();
        } else {
            samples_.push_back(millisecondsSince(start_));
            if (settled_) settled_(static_cast<int>(samples_.size()) - 1);
            if (static_cast<int>(samples_.size()) < count_)
                QCoreApplication::postEvent(this, new QEvent(kStart));
            else
                done_(samples_);
        }
    }

private:
    void check() {
        served_ = 0;
        QCoreApplication::postEvent(this, new QEvent(kCheck), std::numeric_limits<int>::min());
    }

    static inline const QEvent::Type kStart = static_cast<QEvent::Type>(QEvent::registerEventType());
    static inline const QEvent::Type kCheck = static_cast<QEvent::Type>(QEvent::registerEventType());

    int count_ = 0;
    Action action_, settled_;
    Done done_;
    std::vector<double> samples_;
    Clock::time_point start_;
    long served_ = 0;
    std::set<const QObject*> painted_;
};

// ---- the simulator's window ------------------------------------------------------

QWidget& figureWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible()) return *widget;
    fail("no window is shown");
}

// The visible widgets of a kind, top of the window first.
template <typename Widget>
std::vector<Widget*> fromTop() {
    std::vector<Widget*> found;
    for (Widget* widget : figureWindow().findChildren<Widget*>())
        if (widget->isVisible()) found.push_back(widget);
    std::stable_sort(found.begin(), found.end(),
                     [](Widget* a, Widget* b) { return a->geometry().top() < b->geometry().top(); });
    return found;
}

QLabel& labelStarting(const QString& prefix) {
    for (QLabel* label : fromTop<QLabel>())
        if (label->text().startsWith(prefix)) return *label;
    fail("no label " + prefix.toStdString());
}

QAbstractButton& trialButton() {
    for (QAbstractButton* button : fromTop<QAbstractButton>())
        if (button->text() == QStringLiteral("Réalisation essai")) return *button;
    fail("no trial button");
}

void closeWindow() { figureWindow().close(); }

// ---- start-up --------------------------------------------------------------------

int runProgram(char* self) {
    char* args[] = {self, nullptr};
    return mclMainhg(1, args, mlxMain, 0, _main_info);
}

// In the measured process: the time (on the clock every process shares) at
// which the first painted window has settled.
void reportSettledWindow() {
    (new Settler)->repeat(1, {}, {}, [](std::vector<double>) {
        std::printf("%lld\n", static_cast<long long>(Clock::now().time_since_epoch().count()));
        std::fflush(stdout);
        closeWindow();
    });
}

double oneStartup(char* self) {
    int out[2];
    if (::pipe(out) != 0) fail("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    char mode[] = "startup-child";
    char* args[] = {self, mode, nullptr};

    Clock::time_point start = Clock::now();
    pid_t child = 0;
    int spawned = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) fail("the program did not start");
    std::string reply;
    char buffer[64];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) reply.append(buffer, got);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || reply.empty()) fail("the program did not paint its window");
    Clock::time_point painted{Clock::duration{std::stoll(reply)}};
    return std::chrono::duration<double, std::milli>(painted - start).count();
}

int measureStartups(char* self, int runs) {
    std::vector<double> samples;
    oneStartup(self);  // not counted: loads the program and its libraries into the cache
    for (int run = 0; run < runs; ++run) samples.push_back(oneStartup(self));
    printSamples("startup", samples, "ms");
    return 0;
}

// ---- whole processes: the simulator playing a script, and a bare window ------------

// Milliseconds from the start of the command to its end, which must be a success.
double wholeRun(const std::vector<std::string>& command) {
    std::vector<char*> args;
    for (const std::string& word : command) args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Clock::time_point start = Clock::now();
    pid_t child = 0;
    int spawned = posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) fail(command[0] + " did not start");
    int status = 0;
    ::waitpid(child, &status, 0);
    const double milliseconds = millisecondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail(command[0] + " failed");
    return milliseconds;
}

// The simulator as a script plays it, in whole processes: started with an
// empty script, and with one of kScriptedTrials trials, whose time beyond the
// empty script's is what the trials cost; beside it, in the same runs, the
// bare window its start-up is compared with.
int measureScripted(int runs, const std::string& program, const std::string& bareWindow) {
    constexpr int kScriptedTrials = 100;
    std::ofstream("vide.script").flush();
    {
        std::ofstream trials("essais.script");
        for (int t = 0; t < kScriptedTrials; ++t) trials << "press \"Réalisation essai\"\n";
    }
    const std::vector<std::string> empty{program, "--script", "vide.script"},
        played{program, "--script", "essais.script"}, bare{bareWindow};
    wholeRun(empty);  // not counted: loads the programs and their libraries into the cache
    wholeRun(bare);
    std::vector<double> bares, starts, trials;
    for (int run = 0; run < runs; ++run) {
        bares.push_back(wholeRun(bare));
        starts.push_back(wholeRun(empty));
        trials.push_back((wholeRun(played) - starts.back()) / kScriptedTrials);
    }
    printSamples("bare_window", bares, "ms");
    printSamples("startup_script", starts, "ms");
    printOne("startup_ratio", percentile(starts, 0.5) / percentile(bares, 0.5), "x");
    printSamples("trial_script", trials, "ms");
    return 0;
}

// ---- a session: slider moves, then trials ------------------------------------------

struct Session {
    int moves = 0, trials = 0;
    Settler* settler = nullptr;
    double heapAfterWarmUp = 0, residentAfterWarmUp = 0;
    static constexpr int kWarmUpTrials = 100;

    void start() {
        settler = new Settler;
        settler->repeat(1, {}, {}, [this](std::vector<double>) {
            printOne("rss_startup", residentMegabytes(), "MB");
            moveSliders();
        });
    }

    // One step by key on the die-angle slider, left then right: a completed
    // move each, as the operator's arrow keys make it.
    void moveSliders() {
        QSlider* slider = fromTop<QSlider>().front();
        QLabel* label = &labelStarting(QStringLiteral("A="));
        auto before = std::make_shared<QString>();
        settler->repeat(
            moves,
            [slider, label, before](int sample) {
                *before = label->text();
                QTest::keyClick(slider, sample % 2 ? Qt::Key_Right : Qt::Key_Left);
            },
            [this, label, before](int) {
                if (label->text() == *before) fail("the slider's label did not change");
                if (!settler->painted(label)) fail("the slider's label was not repainted");
            },
            [this](std::vector<double> samples) {
                printSamples("slider", std::move(samples), "ms");
                runTrials();
            });
    }

    // The trial button, pressed again and again; the first presses warm the
    // caches and are not counted.
    void runTrials() {
        QAbstractButton* button = &trialButton();
        settler->repeat(
            kWarmUpTrials + trials,
            [this, button](int sample) {
                if (sample == kWarmUpTrials) {
                    heapAfterWarmUp = heapBytesInUse();
                    residentAfterWarmUp = residentMegabytes();
                }
                button->click();
            },
            [this](int) {
                if (!settler->painted(fromTop<QCustomPlot>().back())) fail("the profile was not repainted");
            },
            [this](std::vector<double> samples) {
                // Memory first: the probe's own sorting and printing must not count as the trials'.
                const double resident = residentMegabytes();
                const double heapPerTrial = (heapBytesInUse() - heapAfterWarmUp) / trials;
                samples.erase(samples.begin(), samples.begin() + kWarmUpTrials);
                printSamples("trial", samples, "ms");
                printOne("rss_trials", resident, "MB");
                printOne("rss_growth", (resident - residentAfterWarmUp) * 1024, "KB");
                printOne("heap_growth", heapPerTrial, "B/trial");
                closeWindow();
            });
    }
};

Session session;

int count(const char* text) {
    int value = std::atoi(text);
    if (value < 1) fail(std::string("not a count: ") + text);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "startup-child") {
        qAddPreRoutine(reportSettledWindow);
        return runProgram(argv[0]);
    }
    // Static, so that a failed run removes its folder too.
    static BenchFolder folder(true);
    static InFolder inside(folder.path());
    if (mode == "startup" && argc == 3) return measureStartups(argv[0], count(argv[2]));
    if (mode == "scripted" && argc == 5) return measureScripted(count(argv[2]), argv[3], argv[4]);
    if (mode == "session" && (argc == 4 || argc == 5)) {
        if (argc == 5) {
            const auto ini = folder.path() / facts::kDataFolder / facts::kStationSettingsFile;
            QString error;
            if (!StationSettings{"banc", "", argv[4], {}}.save(QString::fromStdString(ini.string()), &error))
                fail(error.toStdString());
        }
        session.moves = count(argv[2]);
        session.trials = count(argv[3]);
        qAddPreRoutine([] { session.start(); });
        return runProgram(argv[0]);
    }
    std::fprintf(stderr, "usage: ui_probe startup RUNS | scripted RUNS MAIN BARE_WINDOW | session MOVES TRIALS [SERVEUR]\n");
    return 2;
}
