#include "figure_window.h"

#include "conversion.h"
#include "qt_text.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include <utility>

namespace graphics {

FigureWindow::FigureWindow(Tree& tree, const Object& figure) : tree_(tree), handle_(figure.handle()) {
    setAutoFillBackground(true);
    applyLook(figure);
    placeOnScreen(figure);
}

void FigureWindow::applyLook(const Object& figure) {
    std::string name = figure.text("Name");
    if (figure.is("NumberTitle", "on")) name = "Figure " + num2strText(handle_) + (name.empty() ? "" : ": " + name);
    setWindowTitle(qtText(name));
    QPalette colors = palette();
    colors.setColor(QPalette::Window, qtColor(figure.numbers("Color")));
    setPalette(colors);
}

void FigureWindow::placeOnScreen(const Object& figure) {
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    QRect area = qtRect(figure.numbers("Position"), figure.positionUnits() == "normalized", screen.size());
    setGeometry(area.translated(screen.topLeft()));
}

void FigureWindow::addChild(const Object& child) {
    QWidget* widget;
    if (child.type() == Type::Axes) {
        AxesWidget* axes = spareAxes_ ? std::exchange(spareAxes_, nullptr) : new AxesWidget(this);
        axes_[child.handle()] = axes;
        axes->refresh(tree_, child.handle());
        widget = axes;
    } else {
        Control* control = createControl(child, this);
        controls_[child.handle()] = {control, child.text("Style")};
        widget = control->widget();
        const double handle = child.handle();
        connect(&control->userActions(), &UserActions::changed, this,
                [this, handle](const std::string& property, const mxArray& value) {
                    tree_.setFromView(handle, property, value);
                });
        connect(&control->userActions(), &UserActions::fired, this, [this, handle] { tree_.fireCallback(handle); });
    }
    place(child);
    restack();
    widget->show();
}

void FigureWindow::updateChild(const Object& child) {
    if (AxesWidget* widget = axes(child.handle())) {
        place(child);
        widget->refresh(tree_, child.handle());
        return;
    }
    Shown& shown = controls_.at(child.handle());
    if (shown.style != child.text("Style")) {  // another kind of widget
        removeChild(child.handle());
        addChild(child);
        return;
    }
    shown.control->apply(child);
    place(child);
}

void FigureWindow::removeChild(double handle) {
    if (AxesWidget* widget = axes(handle)) {
        axes_.erase(handle);
        widget->hide();
        if (spareAxes_) spareAxes_->deleteLater();
        spareAxes_ = widget;
        return;
    }
    QWidget* widget = control(handle)->widget();
    controls_.erase(handle);
    // Later: the widget may be the one whose signal is being served.
    widget->hide();
    widget->deleteLater();
}

void FigureWindow::refreshAxes(double handle) { axes(handle)->refresh(tree_, handle); }

Control* FigureWindow::control(double handle) const {
    auto it = controls_.find(handle);
    return it == controls_.end() ? nullptr : it->second.control;
}

AxesWidget* FigureWindow::axes(double handle) const {
    auto it = axes_.find(handle);
    return it == axes_.end() ? nullptr : it->second;
}

QPixmap FigureWindow::snapshot() {
    for (auto& entry : axes_) entry.second->replot(QCustomPlot::rpImmediateRefresh);
    return grab();
}

void FigureWindow::place(const Object& child) {
    QRect area = qtRect(child.numbers("Position"), child.positionUnits() == "normalized", size());
    if (AxesWidget* widget = axes(child.handle()))
        widget->setGeometry(area.marginsAdded(AxesWidget::frame()));
    else
        control(child.handle())->widget()->setGeometry(area);
}

void FigureWindow::restack() {
    const Object& figure = tree_.object(handle_);
    for (double child : figure.children())
        if (AxesWidget* widget = axes(child)) widget->raise();
    for (double child : figure.children())
        if (Control* shown = control(child)) shown->widget()->raise();
}

void FigureWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!tree_.contains(handle_)) return;
    for (double child : tree_.object(handle_).children())
        if (axes(child) || control(child)) place(tree_.object(child));
}

void FigureWindow::closeEvent(QCloseEvent* event) {
    if (tree_.contains(handle_)) tree_.remove(handle_);  // the view then lets the window go
    event->accept();
}

}  // namespace graphics
