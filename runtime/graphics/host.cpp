// The event-loop host of the programs.
#include "host.h"

#include "errors.h"
#include "host_options.h"
#include "qt_text.h"
#include "qt_view.h"
#include "script_player.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <fstream>
#include <iostream>

using namespace graphics;

namespace {

class Host {
public:
    explicit Host(bool scripted) : scripted_(scripted) {}

    // Runs a piece of the program; an error escaping it is shown and the
    // program goes on. False after an error.
    bool guarded(const std::function<void()>& action) {
        try {
            action();
            return true;
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
            if (depth_ == 0 && Tree::instance().figures().empty()) QCoreApplication::quit();
        });
    }

    void report(const std::string& message) {
        std::cerr << "error: " << message << std::endl;
        if (!scripted_) QMessageBox::critical(nullptr, QStringLiteral("Erreur"), qtText(message));
    }

    bool scripted_;
    bool serving_ = false;
    int depth_ = 0;
};

// Serves window events until the last window is closed.
int serve(QApplication& app, QtView& view, Host& host) {
    if (Tree::instance().figures().empty()) return 0;
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

}  // namespace

int mclMainhg(int argc, char** argv, mlxFunction topLevel, int /*reserved*/, const mclMainInfo& info) {
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
    if (options.script && !options.show) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // Qt adopted the desktop's locale; numbers keep the decimal point
    app.setQuitOnLastWindowClosed(false);  // the tree's last figure decides

    Tree& tree = Tree::instance();
    QtView view;
    tree.setView(&view);
    Host host(options.script.has_value());
    tree.setCallbackRunner([&](const std::string& text) { host.runCallback(info, text); });

    int status = 1;
    if (host.guarded([&] { mclRunInitializers(info); })) {
        host.guarded([&] {
            mxArray answer[1];
            topLevel(0, answer, 0, nullptr);
        });
        std::istream& script = scriptFile.is_open() ? scriptFile : std::cin;
        status = options.script ? playScript(app, script, view, info, host) : serve(app, view, host);
        host.guarded([&] { mclRunTerminators(info); });
    }
    tree.setCallbackRunner({});
    tree.clear();
    tree.setView(nullptr);
    return status;
}
