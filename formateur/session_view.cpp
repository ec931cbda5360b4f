#include "session_view.h"

#include "model.h"
#include "report.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <qcustomplot.h>

namespace {

QCPCurve* addProfile(QCustomPlot* chart, const QVector<QPointF>& points, const QPen& pen, const QString& name) {
    auto* curve = new QCPCurve(chart->xAxis, chart->yAxis);
    setProfile(curve, points);
    curve->setPen(pen);
    curve->setName(name);
    return curve;
}

}  // namespace

void setProfile(QCPCurve* curve, const QVector<QPointF>& points) {
    QVector<double> x, y;
    for (const QPointF& p : points) {
        x << p.x();
        y << p.y();
    }
    curve->setData(x, y);
}

void keepEqualScale(QCustomPlot* chart) {
    const QRect area = chart->axisRect()->rect();
    if (area.width() <= 0 || area.height() <= 0) return;
    const double mmPerPixel = std::max(80.0 / area.width(), 45.0 / area.height());
    const QCPRange across(0, area.width() * mmPerPixel), up(0, area.height() * mmPerPixel);
    if (chart->xAxis->range() == across && chart->yAxis->range() == up) return;
    chart->xAxis->setRange(across);
    chart->yAxis->setRange(up);
    chart->axisRect()->update(QCPLayoutElement::upPreparation);  // ticks for the new ranges
}

QCustomPlot* newProfileChart() {
    auto* chart = new QCustomPlot;
    chart->setMinimumSize(300, 200);
    // One millimetre is as long across as up, whatever the chart's shape, so
    // that an angle on screen is the angle of the part.
    QObject::connect(chart, &QCustomPlot::afterLayout, chart, [chart] { keepEqualScale(chart); });
    chart->xAxis->setLabel("x (mm)");
    chart->yAxis->setLabel("y (mm)");
    chart->legend->setVisible(true);
    chart->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    return chart;
}

SessionView::SessionView(QWidget* parent) : QWidget(parent) {
    score_ = new QLabel;
    score_->setWordWrap(true);
    QFont bold = score_->font();
    bold.setBold(true);
    score_->setFont(bold);

    table_ = new QTableWidget(0, tableTitles().size());
    table_->setHorizontalHeaderLabels(tableTitles());
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setVisible(false);
    QFont compact = table_->font();
    compact.setPointSizeF(compact.pointSizeF() * 0.9);
    table_->setFont(compact);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &SessionView::redrawProfiles);

    chart_ = newProfileChart();

    auto* splitter = new QSplitter;
    splitter->addWidget(table_);
    splitter->addWidget(chart_);
    // The table scrolls when narrow; the chart, at equal scale, needs width more than height.
    splitter->setSizes({600, 400});
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(score_);
    layout->addWidget(splitter, 1);
    redrawProfiles();
}

void SessionView::setScenario(const Scenario& scenario) {
    scenario_ = scenario;
    showTrials(std::vector<Trial>(trials_));
}

void SessionView::showTrials(const std::vector<Trial>& trials) {
    trials_.clear();
    shapes_.clear();
    table_->setRowCount(0);
    for (const Trial& t : trials) appendRow(t);
    table_->resizeColumnsToContents();
    score_->setText(scoreText());
    redrawProfiles();
}

void SessionView::addTrial(const Trial& trial) {
    appendRow(trial);
    table_->scrollToBottom();
    score_->setText(scoreText());
    redrawProfiles();
}

void SessionView::appendRow(const Trial& trial) {
    trials_.push_back(trial);
    shapes_.push_back(profilePoints(trial.A1, trial.A2, trial.H));
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QStringList cells = tableCells(trial, scenario_);
    const Verdict verdict = judge(trial, scenario_);
    const QColor tint = verdict == Verdict::InTolerance  ? QColor(210, 240, 210)
                        : verdict == Verdict::OverBudget ? QColor(250, 235, 200)
                                                         : QColor(250, 215, 215);
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c == cells.size() - 1) item->setBackground(tint);
        item->setTextAlignment(c <= 1 || c == cells.size() - 1 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, c, item);
    }
}

QString SessionView::scoreText() const { return sessionScore(trials_, scenario_); }

void SessionView::redrawProfiles() {
    chart_->clearPlottables();
    addProfile(chart_, profilePoints(kTargetA1, kTargetA2, kTargetH), QPen(Qt::red, 2, Qt::DotLine),
               "Profil cible");
    const int last = int(trials_.size()) - 1;
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    const int selected = rows.isEmpty() ? -1 : rows.first().row();
    // Drawn in this order so that the latest and the selected profile lie on top.
    bool faintInLegend = false;
    for (int i = 0; i < last; ++i) {
        if (i == selected) continue;
        auto* curve = addProfile(chart_, shapes_[i], QPen(QColor(70, 90, 200, 70), 1.2), "Essais précédents");
        if (faintInLegend) curve->removeFromLegend();
        faintInLegend = true;
    }
    if (last >= 0) addProfile(chart_, shapes_[last], QPen(QColor(0, 0, 255), 3), "Dernier essai");
    if (selected >= 0 && selected <= last)
        addProfile(chart_, shapes_[selected], QPen(QColor(255, 140, 0), 3, Qt::DashLine),
                   QStringLiteral("Essai n° %1 (sélection)").arg(trials_[selected].count));
    // Trials can come faster than the screen needs them.
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

QImage SessionView::chartImage(int width, int height, double scale) {
    table_->clearSelection();
    QImage image = chart_->toPixmap(width, height, scale).toImage();
    image.setDevicePixelRatio(scale);
    return image;
}
