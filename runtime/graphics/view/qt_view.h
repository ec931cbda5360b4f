// The Qt view of an object tree: one window a figure. The tree tells it of
// every change through View; it hands the user's actions back to that tree.
#pragma once

#include "figure_window.h"
#include "view.h"

#include <QEventLoop>
#include <QPointer>

#include <functional>
#include <map>
#include <string>

namespace graphics {

class QtView : public View {
public:
    // The view of this tree, which the caller then gives the view.
    explicit QtView(Tree& tree) : tree_(tree) {}
    // Closes the windows still open.
    ~QtView() override;
    QtView(const QtView&) = delete;
    QtView& operator=(const QtView&) = delete;

    void objectCreated(const Object& object) override;
    void propertyChanged(const Object& object, const PropertyRule& property) override;
    void objectRemoved(const Object& object) override;
    std::array<double, 4> screenSize() const override;
    // Paints and serves everything but user input until the time is up.
    void pause(double seconds) override;

    const Tree& tree() const { return tree_; }
    FigureWindow* window(double figure) const;
    // The widget of a control, nullptr for other objects.
    Control* control(double handle) const;
    // Called after a window went away.
    void setWindowClosedHandler(std::function<void()> handler) { windowClosed_ = std::move(handler); }

private:
    // The window that shows an object still in the tree.
    FigureWindow* windowOf(const Object& object) const;

    Tree& tree_;
    std::map<double, QPointer<FigureWindow>> windows_;
    std::function<void()> windowClosed_;
};

// Serves the events that the flags let through for so many seconds, on a
// precise timer; longer than a timer holds (24 days) is cut to that.
void serveEventsFor(double seconds, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

// Saves the picture of the current figure's window to the file: empty when
// done, else the message that says it was not.
std::string saveCurrentSnapshot(const QtView& view, const std::string& file);

}  // namespace graphics
