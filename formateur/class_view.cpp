#include "class_view.h"

#include "model.h"
#include "session_view.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <qcustomplot.h>

namespace {

QLabel* label(double points, bool bold) {
    auto* l = new QLabel;
    // A long name is cut at the tile's edge rather than widening the tile.
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont font = l->font();
    font.setPointSizeF(points);
    font.setBold(bold);
    l->setFont(font);
    return l;
}

// Colours that stay apart on a washed-out projector.
const QColor kSuccess(0, 120, 50), kOverBudget(200, 100, 0), kNotYet(170, 20, 20), kNoTrial(110, 110, 110);

}  // namespace

StationTile::StationTile(QWidget* parent) : QFrame(parent) {
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);

    rank_ = label(22, true);
    rank_->setAlignment(Qt::AlignCenter);
    rank_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    rank_->setFixedWidth(50);
    name_ = label(18, true);
    trainee_ = label(14, false);
    figures_ = label(16, true);
    best_ = label(12, false);
    verdict_ = label(14, true);
    verdict_->setAlignment(Qt::AlignCenter);
    verdict_->setAutoFillBackground(true);
    verdict_->setMargin(4);
    for (QLabel* l : {name_, trainee_}) l->setTextFormat(Qt::PlainText);

    chart_ = new QCustomPlot;
    chart_->setFixedHeight(64);
    chart_->setAttribute(Qt::WA_TransparentForMouseEvents);
    chart_->xAxis->setRange(0, 80);
    chart_->yAxis->setRange(-2, 45);
    chart_->xAxis->setVisible(false);
    chart_->yAxis->setVisible(false);
    chart_->axisRect()->setAutoMargins(QCP::msNone);
    chart_->axisRect()->setMargins(QMargins(4, 4, 4, 4));
    auto* target = new QCPCurve(chart_->xAxis, chart_->yAxis);
    setProfile(target, profilePoints(kTargetA1, kTargetA2, kTargetH));
    target->setPen(QPen(QColor(220, 0, 0), 3, Qt::DotLine));
    auto* latest = new QCPCurve(chart_->xAxis, chart_->yAxis);
    latest->setPen(QPen(QColor(0, 60, 220), 4));

    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    names->addWidget(name_);
    names->addWidget(trainee_);
    auto* top = new QHBoxLayout;
    top->addWidget(rank_);
    top->addLayout(names, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(3);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(figures_);
    layout->addWidget(best_);
    layout->addWidget(chart_);
    layout->addWidget(verdict_);
}

void StationTile::show(const Standing& s, int rank, const Scenario& scenario) {
    station_ = s.station;
    name_->setText(s.station);
    trainee_->setText(s.trainee.isEmpty() ? QStringLiteral("(stagiaire non renseigné)") : s.trainee);
    rank_->setText(QString::number(rank));
    figures_->setText(QStringLiteral("%1 essai%2 · %3 €")
                          .arg(s.count())
                          .arg(s.count() > 1 ? "s" : "")
                          .arg(fr(s.cost(), 0)));
    QColor colour = kNoTrial;
    QString verdict = QStringLiteral("Aucun essai");
    if (s.best)
        best_->setText(QStringLiteral("Meilleur : %1 × tolérance (n° %2)")
                           .arg(fr(s.bestDistance, 2))
                           .arg(s.best->count));
    else
        best_->clear();
    if (s.firstSuccess) {
        const bool inBudget = s.firstSuccess->total() <= scenario.budget;
        colour = inBudget ? kSuccess : kOverBudget;
        verdict = inBudget ? QStringLiteral("Réussi à l'essai n° %1").arg(s.firstSuccess->count)
                           : QStringLiteral("Réussi (n° %1), hors budget").arg(s.firstSuccess->count);
    } else if (!s.session.empty()) {
        colour = kNotYet;
        verdict = QStringLiteral("Hors tolérances");
    }
    verdict_->setText(verdict);
    QPalette p = verdict_->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, Qt::white);
    verdict_->setPalette(p);
    rank_->setPalette(p);
    rank_->setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("StationTile { border: 4px solid %1; border-radius: 6px; }").arg(colour.name()));

    auto* latest = static_cast<QCPCurve*>(chart_->plottable(1));
    if (s.session.empty())
        latest->data()->clear();
    else
        setProfile(latest, profilePoints(s.session.back().A1, s.session.back().A2, s.session.back().H));
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

QStringList StationTile::texts() const {
    return {rank_->text(), name_->text(), trainee_->text(), figures_->text(), best_->text(), verdict_->text()};
}

void StationTile::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked(station_);
    QFrame::mousePressEvent(event);
}

ClassView::ClassView(ClassFeed* feed, const QString& source, QWidget* parent)
    : QWidget(parent), feed_(feed) {
    header_ = label(18, true);
    source_ = label(12, false);
    source_->setText(QStringLiteral("Base de la classe : %1").arg(source));

    problem_ = label(16, true);
    problem_->setObjectName("problem");
    problem_->setWordWrap(true);
    QPalette p = problem_->palette();
    p.setColor(QPalette::WindowText, kNotYet);
    problem_->setPalette(p);
    problem_->hide();

    gridHolder_ = new QWidget;
    grid_ = new QGridLayout(gridHolder_);
    grid_->setSpacing(10);
    grid_->setContentsMargins(0, 6, 0, 0);
    grid_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* scroll = new QScrollArea;
    scroll->setWidget(gridHolder_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    layout->addWidget(header_);
    layout->addWidget(source_);
    layout->addWidget(problem_);
    layout->addWidget(scroll, 1);

    connect(feed_, &ClassFeed::changed, this, [this](const QString&) {
        // A burst of rows gives one redraw.
        if (!refreshDue_) QTimer::singleShot(0, this, &ClassView::refresh);
        refreshDue_ = true;
    });
    connect(feed_, &ClassFeed::problem, this, &ClassView::showProblem);
    showProblem(feed_->lastProblem());
    refresh();
}

void ClassView::setScenario(const Scenario& scenario) {
    scenario_ = scenario;
    refresh();
}

void ClassView::showProblem(const QString& message) {
    problem_->setText(message);
    problem_->setVisible(!message.isEmpty());
}

void ClassView::refresh() {
    refreshDue_ = false;
    ranking_ = rankClass(feed_->stations(), scenario_);
    header_->setText(QStringLiteral("Classe : %1 poste%2 — tolérances ±%3°, ±%4°, ±%5 mm")
                         .arg(ranking_.size())
                         .arg(ranking_.size() > 1 ? "s" : "")
                         .arg(fr(scenario_.toleranceA1, 2), fr(scenario_.toleranceA2, 2),
                              fr(scenario_.toleranceH, 2)));
    for (std::size_t i = 0; i < ranking_.size(); ++i) {
        const Standing& s = ranking_[i];
        StationTile*& tile = tiles_[s.station];
        if (!tile) {
            tile = new StationTile(gridHolder_);
            connect(tile, &StationTile::clicked, this, &ClassView::openStation);
        }
        tile->show(s, int(i) + 1, scenario_);
        auto open = opened_.find(s.station);
        if (open != opened_.end() && open->second && open->second->trials().size() != s.session.size())
            open->second->showTrials(s.session);
    }
    columns_ = 0;  // the order may have changed
    layoutTiles();
}

void ClassView::layoutTiles() {
    const int columns = std::clamp(width() / 300, 1, 6);
    if (columns == columns_) return;
    columns_ = columns;
    for (const auto& [station, tile] : tiles_) grid_->removeWidget(tile);
    for (std::size_t i = 0; i < ranking_.size(); ++i) {
        StationTile* tile = tiles_.at(ranking_[i].station);
        grid_->addWidget(tile, int(i) / columns, int(i) % columns);
        tile->setVisible(true);
    }
    for (int c = 0; c < 6; ++c) grid_->setColumnStretch(c, c < columns ? 1 : 0);
}

void ClassView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutTiles();
}

std::vector<StationTile*> ClassView::tiles() const {
    std::vector<StationTile*> out;
    for (const Standing& s : ranking_) out.push_back(tiles_.at(s.station));
    return out;
}

SessionView* ClassView::openStation(const QString& station) {
    QPointer<SessionView>& view = opened_[station];
    if (!view) {
        view = new SessionView(this);
        view->setWindowFlag(Qt::Window);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->resize(1200, 700);
        view->setScenario(scenario_);
    }
    for (const Standing& s : ranking_)
        if (s.station == station) {
            view->setWindowTitle(QStringLiteral("%1 — %2 — session en cours").arg(s.station, s.trainee));
            view->showTrials(s.session);
        }
    view->show();
    view->raise();
    return view;
}
