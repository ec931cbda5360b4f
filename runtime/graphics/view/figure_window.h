// A figure's top-level window: placed and sized from the figure's position,
// it holds the widgets of its controls and axes and places them from theirs,
// and hands what the user does to them to the tree.
#pragma once

#include "axes_widget.h"
#include "controls.h"

#include <QPixmap>
#include <QWidget>

#include <map>

namespace graphics {

class FigureWindow : public QWidget {
public:
    FigureWindow(Tree& tree, const Object& figure);

    // Title and colour.
    void applyLook(const Object& figure);
    // Place and size on the screen; the bottom-left origin becomes Qt's top left.
    void placeOnScreen(const Object& figure);

    // Controls and axes of the figure.
    void addChild(const Object& child);
    void updateChild(const Object& child);
    void removeChild(double handle);
    void refreshAxes(double axes);

    Control* control(double handle) const;
    AxesWidget* axes(double handle) const;
    // A picture of the window as it is now.
    QPixmap snapshot();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void place(const Object& child);
    // Axes under the controls, each group in creation order.
    void restack();

    Tree& tree_;
    double handle_;
    struct Shown {
        Control* control;
        std::string style;
    };
    std::map<double, Shown> controls_;
    std::map<double, AxesWidget*> axes_;
    // The widget of the axes removed last, hidden: a program that deletes its
    // axes and draws new ones at each step reuses it, with its paint buffers,
    // instead of building a new one each time.
    AxesWidget* spareAxes_ = nullptr;
};

}  // namespace graphics
