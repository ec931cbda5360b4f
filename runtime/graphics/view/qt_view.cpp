#include "qt_view.h"

#include "qt_text.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace graphics {

QtView::~QtView() {
    for (auto& entry : windows_) delete entry.second.data();
}

void QtView::objectCreated(const Object& object) {
    switch (object.type()) {
    case Type::Figure: {
        auto* window = new FigureWindow(tree_, object);
        windows_[object.handle()] = window;
        window->show();
        break;
    }
    case Type::Axes:
    case Type::Uicontrol: windowOf(object)->addChild(object); break;
    case Type::Line:
    case Type::Text:
    case Type::Legend: windowOf(object)->refreshAxes(object.parent()); break;
    case Type::Root: break;
    }
}

void QtView::propertyChanged(const Object& object, const PropertyRule& property) {
    switch (object.type()) {
    case Type::Figure:
        if (std::string_view(property.name) == "Position")
            window(object.handle())->placeOnScreen(object);
        else
            window(object.handle())->applyLook(object);
        break;
    case Type::Axes:
    case Type::Uicontrol: windowOf(object)->updateChild(object); break;
    case Type::Line:
    case Type::Text:
    case Type::Legend: windowOf(object)->refreshAxes(object.parent()); break;
    case Type::Root: break;
    }
}

void QtView::objectRemoved(const Object& object) {
    switch (object.type()) {
    case Type::Figure: {
        auto it = windows_.find(object.handle());
        QPointer<FigureWindow> window = it->second;
        windows_.erase(it);
        if (window) {
            window->hide();
            window->deleteLater();  // it may be serving the event that removed it
        }
        if (windowClosed_) windowClosed_();
        break;
    }
    case Type::Axes:
    case Type::Uicontrol: windowOf(object)->removeChild(object.handle()); break;
    case Type::Line:
    case Type::Text:
    case Type::Legend: windowOf(object)->refreshAxes(object.parent()); break;
    case Type::Root: break;
    }
}

std::array<double, 4> QtView::screenSize() const {
    QSize size = QGuiApplication::primaryScreen()->geometry().size();
    return {1, 1, static_cast<double>(size.width()), static_cast<double>(size.height())};
}

void QtView::pause(double seconds) { serveEventsFor(seconds, QEventLoop::ExcludeUserInputEvents); }

void serveEventsFor(double seconds, QEventLoop::ProcessEventsFlags flags) {
    // A coarse timer may end a two-second pause a tenth of a second early or late.
    constexpr double kLongest = std::numeric_limits<int>::max();
    double milliseconds = seconds > 0 ? std::min(seconds * 1000, kLongest) : 0;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::lround(milliseconds)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(flags);
}

std::string saveCurrentSnapshot(const QtView& view, const std::string& file) {
    auto figure = view.tree().currentFigure();
    if (figure && view.window(*figure)->snapshot().save(qtText(file))) return {};
    return "Image « " + file + " » non enregistrée.";
}

FigureWindow* QtView::window(double figure) const {
    auto it = windows_.find(figure);
    return it == windows_.end() ? nullptr : it->second.data();
}

Control* QtView::control(double handle) const {
    if (!tree_.contains(handle) || tree_.object(handle).type() != Type::Uicontrol) return nullptr;
    FigureWindow* shown = windowOf(tree_.object(handle));
    return shown ? shown->control(handle) : nullptr;
}

FigureWindow* QtView::windowOf(const Object& object) const {
    double handle = object.parent();
    while (tree_.object(handle).type() != Type::Figure) handle = tree_.object(handle).parent();
    return window(handle);
}

}  // namespace graphics
