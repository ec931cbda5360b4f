#include "charts.h"

#include "factors.h"

#include <qcustomplot.h>

#include <algorithm>

namespace etalonnage {

namespace {

QCPGraph* points(QCustomPlot* chart, const QVector<double>& x, const QVector<double>& y, const QColor& colour,
                 QCPScatterStyle::ScatterShape shape, const QString& name) {
    QCPGraph* g = chart->addGraph();
    g->setLineStyle(QCPGraph::lsNone);
    g->setScatterStyle(QCPScatterStyle(shape, colour, colour, 6));
    g->setData(x, y, false);
    g->setName(name);
    return g;
}

QVector<double> values(const Eigen::VectorXd& v) { return QVector<double>(v.data(), v.data() + v.size()); }

QString unitOf(int model) { return QStringLiteral("%1 (%2)").arg(kResults[model].symbol, kResults[model].unit); }

void prepare(QCustomPlot* chart, const QString& title) {
    chart->clearGraphs();
    chart->clearItems();
    if (chart->plotLayout()->rowCount() == 1) {
        chart->plotLayout()->insertRow(0);
        chart->plotLayout()->addElement(0, 0, new QCPTextElement(chart, "", QFont("DejaVu Sans", 9, QFont::Bold)));
    }
    static_cast<QCPTextElement*>(chart->plotLayout()->element(0, 0))->setText(title);
    chart->legend->setVisible(false);
}

}  // namespace

void drawAgreement(QCustomPlot* chart, const Calibration& c, int model) {
    const ModelFit& f = c.fits[model];
    prepare(chart, QStringLiteral("%1 mesuré et prévu").arg(kResults[model].symbol));
    QVector<double> measured;
    for (const Measurement& m : c.sheet.runs) measured << m.results[model];
    const QVector<double> fitted = values(f.fitted);
    double low = *std::min_element(measured.begin(), measured.end());
    double high = *std::max_element(measured.begin(), measured.end());
    for (double v : fitted) low = std::min(low, v), high = std::max(high, v);
    if (c.current)
        for (double v : values(c.currentPredictions[model])) low = std::min(low, v), high = std::max(high, v);
    const double margin = std::max(1e-6, (high - low) * 0.05);
    low -= margin;
    high += margin;

    QCPGraph* diagonal = chart->addGraph();
    diagonal->setData({low, high}, {low, high});
    diagonal->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    diagonal->setName("mesuré = prévu");
    if (c.current)
        points(chart, values(c.currentPredictions[model]), measured, QColor(200, 120, 0), QCPScatterStyle::ssCross,
               "modèle actuel");
    points(chart, fitted, measured, QColor(0, 90, 200), QCPScatterStyle::ssDisc, "nouveau modèle");
    chart->xAxis->setLabel("prévu " + unitOf(model));
    chart->yAxis->setLabel("mesuré " + unitOf(model));
    chart->xAxis->setRange(low, high);
    chart->yAxis->setRange(low, high);
    chart->legend->setVisible(true);
    chart->legend->setFont(QFont("DejaVu Sans", 7));
    chart->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    if (chart->isVisible()) chart->replot();  // a hidden chart draws when it shows
}

void drawResiduals(QCustomPlot* chart, const Calibration& c, int model) {
    const ModelFit& f = c.fits[model];
    prepare(chart, QStringLiteral("Résidus de %1").arg(kResults[model].symbol));
    const QVector<double> fitted = values(f.fitted), residuals = values(f.residuals);
    QVector<double> ox, oy;
    for (int i : f.outliers) ox << fitted[i], oy << residuals[i];
    points(chart, fitted, residuals, QColor(0, 90, 200), QCPScatterStyle::ssDisc, "essais");
    QCPGraph* atypical = points(chart, ox, oy, Qt::red, QCPScatterStyle::ssCircle, "atypiques");
    atypical->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::red, 2), Qt::NoBrush, 11));
    chart->rescaleAxes();
    const double r = std::max({1e-9, std::abs(chart->yAxis->range().lower), std::abs(chart->yAxis->range().upper)});
    chart->yAxis->setRange(-1.15 * r, 1.15 * r);
    chart->xAxis->scaleRange(1.1);
    auto* zero = new QCPItemStraightLine(chart);
    zero->point1->setCoords(0, 0);
    zero->point2->setCoords(1, 0);
    zero->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    chart->xAxis->setLabel("prévu " + unitOf(model));
    chart->yAxis->setLabel("résidu " + unitOf(model));
    if (chart->isVisible()) chart->replot();  // a hidden chart draws when it shows
}

}  // namespace etalonnage
