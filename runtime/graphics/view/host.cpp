// The event-loop host of the programs.
#include "host.h"

#include "errors.h"
#include "figure_window.h"
#include "host_options.h"
#include "program_start.h"
#include "qt_text.h"
#include "qt_view.h"
#include "script_player.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <unistd.h>

using namespace graphics;

namespace {

class Host {
public:
    Host(const Tree& tree, bool scripted) : tree_(tree), scripted_(scripted) {}

    // Runs a piece of the program; an error escaping it is shown and the
    // program goes on. False after an error.
    bool guarded(const std::function<void()>& action) {
        try {
            action();
            return true;
        } catch (const mclRefusal& e) {
            refused_ = true;
            report(e.what());
        } catch (const std::exception& e) {
            report(e.what());
        }
        return false;
    }

    void runCallback(const mclMainInfo& info, const std::string& text) {
        ++depth_;
        guarded([&] { mclDispatchCallback(info, text); });
        --depth_;
        if (serving_ && depth_ == 0) quitWhenNoWindow();  // a window may have closed meanwhile
    }

    // Whether an action was refused by rule.
    bool refused() const { return refused_; }

    // From now on the program ends with its last window.
    void endWithLastWindow(QtView& view) {
        serving_ = true;
        view.setWindowClosedHandler([this] { quitWhenNoWindow(); });
    }

private:
    // Not while a callback runs: it may open another window (it may be
    // waiting in a pause, whose event loop a quit would end too).
    void quitWhenNoWindow() {
        QTimer::singleShot(0, [this] {
            if (depth_ == 0 && tree_.figures().empty()) QCoreApplication::quit();
        });
    }

    void report(const std::string& message) {
        std::cerr << "error: " << message << std::endl;
        if (!scripted_) QMessageBox::critical(nullptr, QStringLiteral("Erreur"), qtText(message));
    }

    const Tree& tree_;
    bool scripted_;
    bool serving_ = false;
    bool refused_ = false;
    int depth_ = 0;
};

// A message built without the heap: a fault handler may run with it broken.
struct FaultMessage {
    char text[160];
    std::size_t size = 0;
    void add(const char* s) {
        while (*s && size < sizeof text) text[size++] = *s++;
    }
    void addNumber(std::uintptr_t value, unsigned base) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value);
        while (n && size < sizeof text) text[size++] = digits[--n];
    }
};

// Async-signal-safe calls only: the process state is not to be trusted.
extern "C" void onFatalFault(int signal, siginfo_t* info, void*) {
    FaultMessage m;
    m.add("Erreur fatale : accès mémoire invalide (");
    m.add(signal == SIGBUS ? "SIGBUS" : "SIGSEGV");
    m.add(", signal ");
    m.addNumber(static_cast<std::uintptr_t>(signal), 10);
    m.add(") à l'adresse 0x");
    m.addNumber(reinterpret_cast<std::uintptr_t>(info->si_addr), 16);
    m.add(" ; le programme s'arrête.\n");
    [[maybe_unused]] auto written = ::write(STDERR_FILENO, m.text, m.size);
    ::_exit(-1);  // status 255
}

void installFaultHandlers() {
    // A stack overflow faults with no stack left for the handler: give it its own.
    static char handlerStack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = handlerStack;
    stack.ss_size = sizeof handlerStack;
    ::sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = onFatalFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGSEGV, &action, nullptr);
    ::sigaction(SIGBUS, &action, nullptr);
    // A write past the file-size limit then fails with an error the files
    // runtime reports, instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

// Serves window events until the last window is closed; none, none to serve.
int serve(QApplication& app, QtView& view, Host& host) {
    if (view.tree().figures().empty()) return 0;
    host.endWithLastWindow(view);
    app.exec();
    return 0;
}

int playScript(QApplication& app, std::istream& script, QtView& view, const mclMainInfo& info, Host& host) {
    ScriptPlayer player(info, view, [&](const std::string& text) { host.runCallback(info, text); }, std::cout,
                        std::cerr);
    player.start(script);
    return app.exec();
}

// Paints the window once the event loop runs, saves its picture and ends.
int saveSnapshot(QApplication& app, const QtView& view, const std::string& file) {
    int status = 1;
    QTimer::singleShot(0, [&] {
        std::string error = saveCurrentSnapshot(view, file);
        if (error.empty())
            status = 0;
        else
            std::cerr << error << std::endl;
        QCoreApplication::quit();
    });
    app.exec();
    return status;
}

}  // namespace

QWidget* mclFigureWindow() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* window = dynamic_cast<FigureWindow*>(top)) return window;
    return nullptr;
}

void mclShowNote(const QString& text) {
    if (QWidget* window = mclFigureWindow()) {
        auto* note = window->findChild<QLabel*>("note", Qt::FindDirectChildrenOnly);
        if (!note) {
            note = new QLabel(window);
            note->setObjectName("note");
            note->setTextFormat(Qt::PlainText);
            note->setWordWrap(true);
            note->setStyleSheet("background: #fff4d6; color: #4a3000; border-top: 1px solid #e0b84c; padding: 2px 6px;");
        }
        note->setText(text);
        const int height = note->heightForWidth(window->width());
        note->setGeometry(0, window->height() - height, window->width(), height);
        note->setVisible(!text.isEmpty());
        note->raise();
    }
}

int mclMainhg(int argc, char** argv, mlxFunction topLevel, int /*reserved*/, const mclMainInfo& info,
              const char* about) {
    installFaultHandlers();
    HostOptions options;
    std::ifstream scriptFile;
    try {
        options = parseHostOptions(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
        if (options.script && *options.script != "-") {
            scriptFile.open(*options.script);
            if (!scriptFile) throw mclError("Script « " + *options.script + " » illisible.");
        }
    } catch (const mclError& e) {
        std::cerr << e.what() << std::endl;
        return 2;
    }
    if (options.help) {
        std::cout << hostHelp(mclCommandName(info.functionTable[0].name), about ? about : "");
        return 0;
    }
    const auto application = mclStartApplication(argc, argv, (options.script || options.snapshot) && !options.show);
    QApplication& app = *application;
    app.setQuitOnLastWindowClosed(false);  // the tree's last figure decides

    Tree& tree = programTree();
    QtView view(tree);
    tree.setView(&view);
    Host host(tree, options.script || options.snapshot);  // no dialog waits for a click in a batch run
    tree.setCallbackRunner([&](const std::string& text) { host.runCallback(info, text); });

    int status = 1;
    if (host.guarded([&] { mclRunInitializers(info); })) {
        bool started = host.guarded([&] {
            mxArray answer[1];
            topLevel(0, answer, 0, nullptr);
        });
        // A start that failed has shown why: the window it began, with no
        // controls to use, closes, and the status says so. A script is still
        // played, for the calls it may hold.
        if (!started)
            for (double figure : tree.figures()) tree.remove(figure);
        std::istream& script = scriptFile.is_open() ? scriptFile : std::cin;
        status = options.script     ? playScript(app, script, view, info, host)
                 : !started         ? 1
                 : options.snapshot ? saveSnapshot(app, view, *options.snapshot)
                                    : serve(app, view, host);
        if ((!started || (options.script && host.refused())) && status == 0) status = 1;
        host.guarded([&] { mclRunTerminators(info); });
    }
    tree.setCallbackRunner({});
    tree.clear();
    tree.setView(nullptr);
    return status;
}
