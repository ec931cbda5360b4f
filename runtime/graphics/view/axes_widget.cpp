#include "axes_widget.h"

#include "qt_text.h"

#include <algorithm>
#include <cmath>

namespace graphics {
namespace {

QFont pixelFont(int pixels) {
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    return font;
}

Qt::PenStyle penStyle(const std::string& lineStyle) {
    if (lineStyle == ":") return Qt::DotLine;
    if (lineStyle == "--") return Qt::DashLine;
    if (lineStyle == "-.") return Qt::DashDotLine;
    if (lineStyle == "none") return Qt::NoPen;
    return Qt::SolidLine;
}

QCPScatterStyle::ScatterShape markerShape(const std::string& marker) {
    static const std::pair<const char*, QCPScatterStyle::ScatterShape> shapes[] = {
        {"o", QCPScatterStyle::ssCircle}, {"+", QCPScatterStyle::ssPlus},   {"*", QCPScatterStyle::ssStar},
        {".", QCPScatterStyle::ssDisc},   {"x", QCPScatterStyle::ssCross},  {"s", QCPScatterStyle::ssSquare},
        {"d", QCPScatterStyle::ssDiamond},
    };
    for (const auto& [name, shape] : shapes)
        if (marker == name) return shape;
    return QCPScatterStyle::ssNone;
}

void styleAxis(QCPAxis* axis, bool labels) {
    axis->setTickLabels(labels);
    axis->setTickLabelFont(pixelFont(9));
    axis->setTickLabelPadding(2);
    axis->setTickLength(4, 0);  // ticks point into the box
    axis->setSubTicks(false);
    axis->grid()->setVisible(false);
}

}  // namespace

AxesWidget::AxesWidget(QWidget* parent) : QCustomPlot(parent) {
    setBackground(palette().window());
    axisRect()->setBackground(Qt::white);
    axisRect()->setAutoMargins(QCP::msNone);
    axisRect()->setMargins(frame());
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    axisRect()->insetLayout()->setMargins(QMargins(6, 6, 6, 6));
    styleAxis(xAxis, true);
    styleAxis(yAxis, true);
    styleAxis(xAxis2, false);
    styleAxis(yAxis2, false);
    setAutoAddPlottableToLegend(false);
    legend->setFont(pixelFont(9));
    legend->setBrush(QColor(255, 255, 255, 230));
    legend->setIconSize(24, 8);
    legend->setRowSpacing(0);
    legend->setMargins(QMargins(5, 2, 5, 2));
}

void AxesWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {  // the window's colour around the box
        setBackground(palette().window());
        replot(rpQueuedReplot);
    }
    QCustomPlot::changeEvent(event);
}

void AxesWidget::resizeEvent(QResizeEvent* event) {
    // Fewer ticks on small axes, so that their labels do not crowd.
    QSize box = event->size().shrunkBy(frame());
    for (QCPAxis* axis : {xAxis, xAxis2}) axis->ticker()->setTickCount(std::clamp(box.width() / 60, 2, 5));
    for (QCPAxis* axis : {yAxis, yAxis2}) axis->ticker()->setTickCount(std::clamp(box.height() / 30, 2, 5));
    QCustomPlot::resizeEvent(event);
}

QMargins AxesWidget::frame() { return QMargins(26, 6, 8, 16); }

void AxesWidget::refresh(const Tree& tree, double axes) {
    usedCurves_ = 0;
    clearItems();
    legend->clearItems();

    const Object& object = tree.object(axes);
    bool box = object.is("Box", "on");
    xAxis2->setVisible(box);
    yAxis2->setVisible(box);
    mxArray x = tree.get(axes, "XLim"), y = tree.get(axes, "YLim");
    for (QCPAxis* axis : {xAxis, xAxis2}) axis->setRange(x.at(0), x.at(1));
    for (QCPAxis* axis : {yAxis, yAxis2}) axis->setRange(y.at(0), y.at(1));

    std::vector<QCPCurve*> lines;
    const Object* legendObject = nullptr;
    for (double child : object.children()) {
        const Object& o = tree.object(child);
        if (o.type() == Type::Line) lines.push_back(addLine(o));
        if (o.type() == Type::Text) addText(o);
        if (o.type() == Type::Legend) legendObject = &o;
    }
    while (plottableCount() > usedCurves_) removePlottable(plottableCount() - 1);
    // The legend sits at the top left inside the box, whatever its "Position"
    // says: there it hides no profile.
    legend->setVisible(legendObject != nullptr);
    if (legendObject) {
        const auto& labels = legendObject->value("String").elements();
        for (std::size_t k = 0; k < std::min(labels.size(), lines.size()); ++k) {
            lines[k]->setName(qtText(labels[k].toUtf8()));
            lines[k]->addToLegend();
        }
    }
    replot(rpQueuedReplot);
}

QCPCurve* AxesWidget::addLine(const Object& line) {
    QPen pen(qtColor(line.numbers("Color")), std::max(1.0, line.number("LineWidth") * 96 / 72),
             penStyle(line.text("LineStyle")));
    QCPScatterStyle marker(markerShape(line.text("Marker")), pen.color(), 6);
    const auto& xs = line.numbers("XData");
    const auto& ys = line.numbers("YData");
    std::size_t count = std::min(xs.size(), ys.size());

    std::vector<QCPCurve*> runs;
    QVector<QCPCurveData> points;
    auto endRun = [&] {
        if (points.isEmpty() && !runs.empty()) return;  // an empty run only keeps the line's place in the legend
        QCPCurve* curve = nextCurve();
        curve->setPen(pen);
        curve->setScatterStyle(marker);
        curve->setLineStyle(pen.style() == Qt::NoPen ? QCPCurve::lsNone : QCPCurve::lsLine);
        curve->data()->set(points, true);
        points.clear();
        runs.push_back(curve);
    };
    for (std::size_t k = 0; k < count; ++k) {
        if (std::isfinite(xs[k]) && std::isfinite(ys[k]))
            points.append(QCPCurveData(points.size(), xs[k], ys[k]));
        else if (!points.isEmpty())
            endRun();
    }
    endRun();
    return runs.front();
}

QCPCurve* AxesWidget::nextCurve() {
    if (usedCurves_ < plottableCount()) return static_cast<QCPCurve*>(plottable(usedCurves_++));
    ++usedCurves_;
    return new QCPCurve(xAxis, yAxis);
}

void AxesWidget::addText(const Object& text) {
    auto* item = new QCPItemText(this);
    const auto& at = text.numbers("Position");
    item->position->setCoords(at[0], at[1]);
    item->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    item->setFont(pixelFont(10));
    item->setText(qtText(text.text("String")));
}

}  // namespace graphics
