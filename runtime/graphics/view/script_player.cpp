#include "script_player.h"

#include "dump.h"
#include "errors.h"
#include "json.h"
#include "qt_text.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include <string>

namespace graphics {

namespace {

// The program's windows on the screen, its figures' first.
std::vector<QWidget*> shownWindows() {
    std::vector<QWidget*> windows;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible()) windows.insert(dynamic_cast<FigureWindow*>(top) ? windows.begin() : windows.end(), top);
    return windows;
}

// A window the program opened beside its figures, as a dump line: its title and its texts.
std::string dumpLine(const QWidget& window) {
    QJsonArray texts;
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->isVisibleTo(&window)) texts.append(label->text());
    const QJsonObject line{{"type", "window"}, {"name", window.windowTitle()}, {"texts", texts}};
    return QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString();
}

// The windows drawn where they stand, on a plain background, in one picture.
std::string saveScreenshot(const std::string& file) {
    const std::vector<QWidget*> windows = shownWindows();
    QRect area;
    for (const QWidget* window : windows) area |= window->geometry();
    QPixmap picture(area.size());
    picture.fill(QColor(0x5a, 0x63, 0x6e));
    QPainter painter(&picture);
    for (QWidget* window : windows) painter.drawPixmap(window->geometry().topLeft() - area.topLeft(), window->grab());
    painter.end();
    if (!windows.empty() && picture.save(qtText(file))) return {};
    return "Image « " + file + " » non enregistrée.";
}

}  // namespace

ScriptPlayer::ScriptPlayer(const mclMainInfo& info, const QtView& view, CallbackRunner runCallback,
                           std::ostream& out, std::ostream& err)
    : info_(info), view_(view), runCallback_(std::move(runCallback)), out_(out), err_(err) {}

void ScriptPlayer::start(std::istream& script) {
    script_ = &script;
    QTimer::singleShot(0, [this] { step(); });
}

void ScriptPlayer::step() {
    std::string line;
    if (!std::getline(*script_, line)) {
        QCoreApplication::exit(0);
        return;
    }
    ++lineNumber_;
    try {
        if (auto command = parseScriptLine(line)) run(*command);
    } catch (const ScriptSyntaxError& e) {
        err_ << "script, ligne " << lineNumber_ << " : " << e.what() << std::endl;
        QCoreApplication::exit(2);
        return;
    } catch (const std::exception& e) {
        err_ << "error: " << e.what() << std::endl;
    }
    out_.flush();
    QTimer::singleShot(0, [this] { step(); });
}

void ScriptPlayer::run(const ScriptCommand& command) {
    using Kind = ScriptCommand::Kind;
    switch (command.kind) {
    case Kind::Slider:
        dynamic_cast<SliderControl&>(*nthControl("slider", command.index)).moveTo(command.number);
        break;
    case Kind::Press: dynamic_cast<ButtonControl&>(*buttonLabelled(command.text)).click(); break;
    case Kind::Edit:
        dynamic_cast<EditControl&>(*nthControl("edit", command.index)).typeAndLeave(qtText(command.text));
        break;
    case Kind::Callback: runCallback_(command.text); break;
    case Kind::Call: {
        auto outputs = mclCallFunction(info_, command.text, command.index, command.arguments);
        std::string json = "[";
        for (std::size_t k = 0; k < outputs.size(); ++k) json += (k ? "," : "") + jsonValue(outputs[k]);
        out_ << json << "]\n";
        break;
    }
    case Kind::Dump:
        for (const auto& line : dumpWindow(view_.tree(), currentWindow())) out_ << line << '\n';
        for (const QWidget* window : shownWindows())
            if (!dynamic_cast<const FigureWindow*>(window)) out_ << dumpLine(*window) << '\n';
        break;
    case Kind::Snapshot:
        currentWindow();  // none: said as for the other commands
        if (std::string error = saveCurrentSnapshot(view_, command.text); !error.empty()) throw mclError(error);
        break;
    case Kind::Screenshot:
        if (std::string error = saveScreenshot(command.text); !error.empty()) throw mclError(error);
        break;
    case Kind::Wait: serveEventsFor(command.number); break;
    }
}

double ScriptPlayer::currentWindow() const {
    auto figure = view_.tree().currentFigure();
    if (!figure) throw mclError("Aucune fenêtre n'est ouverte.");
    return *figure;
}

Control* ScriptPlayer::nthControl(const char* style, int n) const {
    const Tree& tree = view_.tree();
    int seen = 0;
    for (double child : tree.object(currentWindow()).children()) {
        const Object& o = tree.object(child);
        if (o.type() == Type::Uicontrol && o.is("Style", style) && ++seen == n) return view_.control(child);
    }
    throw mclError("La fenêtre n'a pas de contrôle " + std::string(style) + " n° " + std::to_string(n) +
                   " (elle en a " + std::to_string(seen) + ").");
}

Control* ScriptPlayer::buttonLabelled(const std::string& text) const {
    const Tree& tree = view_.tree();
    for (double child : tree.object(currentWindow()).children()) {
        const Object& o = tree.object(child);
        if (o.type() == Type::Uicontrol && o.is("Style", "pushbutton") && o.text("String") == text)
            return view_.control(child);
    }
    throw mclError("La fenêtre n'a pas de bouton « " + text + " ».");
}

}  // namespace graphics
