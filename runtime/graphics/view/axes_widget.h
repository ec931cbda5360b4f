// One axes object drawn with QCustomPlot: its lines (as curves, since a
// profile's x need not increase), texts at data points, legend, box and limits.
#pragma once

#include "tree.h"

#include <qcustomplot.h>

namespace graphics {

class AxesWidget : public QCustomPlot {
public:
    explicit AxesWidget(QWidget* parent);
    // Room around the axes box for the ticks and their labels: the widget is
    // the axes' "Position" grown by these margins.
    static QMargins frame();
    // Redraws everything from the tree.
    void refresh(const Tree& tree, double axes);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // One curve for each run of finite points; the first stands for the
    // line in the legend. The curves of the previous refresh are used again,
    // in their order, with their data replaced.
    QCPCurve* addLine(const Object& line);
    QCPCurve* nextCurve();
    void addText(const Object& text);

    int usedCurves_ = 0;
};

}  // namespace graphics
