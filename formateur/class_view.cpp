#include "class_view.h"

#include "model.h"
#include "session_view.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <cmath>

namespace {

QLabel* label(double points, bool bold) {
    auto* l = new QLabel;
    // Names and messages come from the stations and the server: shown as typed, never as markup.
    l->setTextFormat(Qt::PlainText);
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
    // Many stations scroll: a tile keeps the height its texts need rather than overlapping them.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);

    rank_ = label(22, true);
    rank_->setObjectName("rang");
    rank_->setAlignment(Qt::AlignCenter);
    rank_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    rank_->setFixedWidth(50);
    name_ = label(18, true);
    trainee_ = label(13, false);
    figures_ = label(13, true);
    totals_ = label(12, false);
    best_ = label(11, false);
    flags_ = label(12, true);
    flags_->setObjectName("signal");
    presence_ = label(11, true);
    presence_->setObjectName("presence");
    verdict_ = label(14, true);
    verdict_->setObjectName("verdict");
    verdict_->setAlignment(Qt::AlignCenter);
    verdict_->setMargin(4);
    // Long texts take a second line rather than being cut at the tile's edge.
    for (QLabel* l : {figures_, totals_, best_, flags_, presence_, verdict_}) l->setWordWrap(true);

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
    auto* replay = new QPushButton(QStringLiteral("Rejouer"));
    replay->setToolTip(QStringLiteral("Rejoue la dernière session de ce poste, essai par essai, pour le débriefing."));
    connect(replay, &QPushButton::clicked, this, [this] { emit replayRequested(key_); });
    replay_ = replay;
    auto* top = new QHBoxLayout;
    top->addWidget(rank_);
    top->addLayout(names, 1);
    // Beside the latest session's totals: the session it replays.
    auto* session = new QWidget;
    auto* sessionRow = new QHBoxLayout(session);
    sessionRow->setContentsMargins(0, 0, 0, 0);
    sessionRow->addWidget(totals_, 1);
    sessionRow->addWidget(replay, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(3);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    for (QWidget* w : std::initializer_list<QWidget*>{figures_, session, best_, flags_, presence_, chart_, verdict_})
        layout->addWidget(w);
}

void StationTile::show(const Standing& s, int rank, const StationContact* contact, qint64 leftOut, bool inExercise) {
    key_ = s.key();
    name_->setText(s.station);
    QString trainee = s.trainee.isEmpty() ? QStringLiteral("(stagiaire non renseigné)") : s.trainee;
    if (!s.installation.isEmpty()) trainee += QStringLiteral(" · PC %1").arg(s.installation.left(8));
    trainee_->setText(trainee);
    rank_->setText(s.latest ? QString::number(rank) : QStringLiteral("–"));
    replay_->setVisible(!s.session.empty());

    QColor colour = kNoTrial;
    QString verdict, figures;
    if (s.firstSuccess) {
        colour = s.withinBudget ? kSuccess : kOverBudget;
        verdict = s.withinBudget ? QStringLiteral("Réussi à l'essai n° %1").arg(s.firstSuccess->count)
                                 : QStringLiteral("Réussi (n° %1), hors budget").arg(s.firstSuccess->count);
        figures = QStringLiteral("1re réussite : n° %1 · %2 €")
                      .arg(s.firstSuccess->count)
                      .arg(fr(s.firstSuccess->total(), 0));
    } else if (s.best) {
        colour = kNotYet;
        verdict = QStringLiteral("Hors tolérances");
        figures = QStringLiteral("Au plus près : n° %1 · %2 €").arg(s.best->count).arg(fr(s.best->total(), 0));
    } else if (s.modelChanged > 0) {
        colour = kNotYet;
        verdict = QStringLiteral("Modèle modifié");
        figures = QStringLiteral("Aucun essai compté");
    } else if (s.implausible > 0) {
        verdict = QStringLiteral("Valeurs invalides");
        figures = QStringLiteral("Aucun essai classable");
    } else if (s.outOfExercise > 0) {
        verdict = QStringLiteral("Hors exercice");
        figures = QStringLiteral("Aucun essai compté");
    } else if (!contact) {
        verdict = QStringLiteral("Jamais vu");
        figures = QStringLiteral("Attendu, pas encore venu");
    } else {
        verdict = contact->silent ? QStringLiteral("Injoignable") : QStringLiteral("Aucun essai");
        figures = QStringLiteral("Aucun essai pour l'instant");
    }
    figures_->setText(figures);
    QString totals;
    if (s.latest)
        totals = QStringLiteral("%1 : %2 essai%3 · %4 €")
                     .arg(inExercise ? "Exercice" : "Session")
                     .arg(s.count())
                     .arg(s.count() > 1 ? "s" : "")
                     .arg(fr(s.cost(), 0));
    if (s.implausible > 0)
        totals += QStringLiteral("%1%2 essai%3 aux valeurs invalides, non classé%3")
                      .arg(totals.isEmpty() ? "" : " · ")
                      .arg(s.implausible)
                      .arg(s.implausible > 1 ? "s" : "");
    if (leftOut > 0)
        totals += QStringLiteral("%1%2 essais plus anciens sur le serveur, non lus : la vue garde les %3 derniers "
                                 "de chaque poste")
                      .arg(totals.isEmpty() ? "" : "\n", fr(double(leftOut), 0), fr(ClassFeed::kRowsKept, 0));
    totals_->setText(totals);
    best_->setText(s.best ? QStringLiteral("Meilleur essai, n° %1 : son plus grand écart vaut %2 fois la tolérance")
                                .arg(s.best->count)
                                .arg(fr(s.bestDistance, 2))
                          : QString());
    QStringList flags;
    if (s.modelChanged > 0)
        flags << QStringLiteral("%1 essai%2 au modèle modifié, non compté%2").arg(s.modelChanged).arg(s.modelChanged > 1 ? "s" : "");
    if (s.outOfExercise > 0)
        flags << QStringLiteral("%1 essai%2 hors exercice, non compté%2").arg(s.outOfExercise).arg(s.outOfExercise > 1 ? "s" : "");
    flags_->setText(flags.join('\n'));
    QString presence;
    if (contact && contact->silent)
        presence = QStringLiteral("Injoignable depuis %1 (réseau, serveur ou mot de passe du poste)")
                       .arg(contact->seen.toString("HH:mm"));
    else if (contact && !contact->open)
        presence = QStringLiteral("Simulateur fermé à %1.").arg(contact->seen.toString("HH:mm"));
    presence_->setText(presence);
    for (QLabel* l : {totals_, best_, flags_, presence_}) l->setVisible(!l->text().isEmpty());
    verdict_->setText(verdict);
    // One style sheet holds every colour of the tile, so a new standing replaces them all.
    setStyleSheet(QStringLiteral("StationTile { background: white; border: 4px solid %1; border-radius: 6px; }"
                                 "QLabel { color: black; background: transparent; }"
                                 "QLabel#rang, QLabel#verdict { color: white; background: %1; }"
                                 "QLabel#presence, QLabel#signal { color: %2; }")
                      .arg(colour.name(), kNotYet.name()));

    auto* latest = static_cast<QCPCurve*>(chart_->plottable(1));
    if (s.latest)
        setProfile(latest, profilePoints(s.latest->A1, s.latest->A2, s.latest->H));
    else
        latest->data()->clear();
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

QStringList StationTile::texts() const {
    QStringList out;
    for (QLabel* l : {rank_, name_, trainee_, figures_, totals_, best_, presence_, verdict_}) out << l->text();
    if (!flags_->text().isEmpty()) out << flags_->text();
    return out;
}

void StationTile::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked(key_);
    QFrame::mousePressEvent(event);
}

ClassView::ClassView(ClassFeed* feed, const QString& source, QWidget* parent)
    : QWidget(parent), feed_(feed) {
    header_ = label(18, true);
    header_->setWordWrap(true);
    clock_ = label(20, true);
    clock_->setObjectName("temps");
    clock_->setStyleSheet("color: white; background: #1d3f73; border-radius: 4px; padding: 4px 8px;");
    clock_->hide();
    clockTimer_ = new QTimer(this);
    clockTimer_->setInterval(1000);
    connect(clockTimer_, &QTimer::timeout, this, &ClassView::showClock);
    source_ = label(12, false);
    source_->setText(QStringLiteral("Base de la classe : %1").arg(source));

    // What keeps the view from being whole: a notice above the tiles, not an alarm.
    problem_ = label(13, false);
    problem_->setObjectName("problem");
    warning_ = label(13, false);
    warning_->setObjectName("warning");
    for (QLabel* l : {problem_, warning_}) {
        l->setWordWrap(true);
        l->setMargin(6);
        l->setStyleSheet("background: #fff4d6; color: #4a3000; border: 1px solid #e0b84c; border-radius: 4px;");
        l->hide();
    }

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
    layout->addWidget(clock_);
    layout->addWidget(header_);
    layout->addWidget(source_);
    layout->addWidget(problem_);
    layout->addWidget(warning_);
    layout->addWidget(scroll, 1);

    connect(feed_, &ClassFeed::changed, this, &ClassView::scheduleRefresh);
    connect(feed_, &ClassFeed::presenceChanged, this, &ClassView::scheduleRefresh);
    connect(feed_, &ClassFeed::exerciseChanged, this, &ClassView::scheduleRefresh);
    connect(feed_, &ClassFeed::firstReadEnded, this, &ClassView::scheduleRefresh);
    connect(feed_, &ClassFeed::problem, this, &ClassView::showProblem);
    showProblem(feed_->lastProblem());
    refresh();
}

void ClassView::scheduleRefresh() {
    // A burst of rows gives one redraw.
    if (!refreshDue_) QTimer::singleShot(0, this, &ClassView::refresh);
    refreshDue_ = true;
}

Scenario ClassView::judgedBy() const { return feed_->exercise() ? scenarioOf(*feed_->exercise()) : scenario_; }

void ClassView::showClock() {
    const std::optional<ClassExercise>& exercise = feed_->exercise();
    clock_->setVisible(exercise.has_value());
    if (!exercise) return clockTimer_->stop();
    QString text = QStringLiteral("Sans limite de temps");
    if (const std::optional<double> left = feed_->exerciseSecondsLeft()) {
        const int seconds = int(std::ceil(*left));
        text = seconds > 0 ? QStringLiteral("Temps restant : %1 min %2 s")
                                 .arg(seconds / 60)
                                 .arg(seconds % 60, 2, 10, QChar('0'))
                           : QStringLiteral("Temps écoulé : les essais suivants ne comptent plus");
    }
    if (exercise->maxTrials)
        text += QStringLiteral(" · %1 essai%2 au plus").arg(*exercise->maxTrials).arg(*exercise->maxTrials > 1 ? "s" : "");
    clock_->setText(text);
    if (!clockTimer_->isActive()) clockTimer_->start();
}

void ClassView::setScenario(const Scenario& scenario) {
    scenario_ = scenario;
    refresh();
}

void ClassView::showProblem(const QString& message) {
    problem_->setText(message);
    problem_->setVisible(!message.isEmpty());
}

namespace {

// What the server last heard of the station a standing is for: of its
// installation when two share the name, else the latest heard.
const StationContact* contactOf(const Standing& s, const std::vector<StationContact>& contacts) {
    const StationContact* found = nullptr;
    for (const StationContact& c : contacts)
        if (c.station == s.station && (s.installation.isEmpty() || c.installation == s.installation) &&
            (!found || c.seen >= found->seen))
            found = &c;
    return found;
}

// The names two running installations share, or that two installations sent rows under.
QStringList sharedNames(const std::vector<Standing>& ranking, const std::vector<StationContact>& contacts) {
    QSet<QString> shared;
    for (const Standing& s : ranking)
        if (!s.installation.isEmpty()) shared.insert(s.station);
    std::map<QString, QSet<QString>> running;
    for (const StationContact& c : contacts)
        if (c.open && !c.silent && !c.installation.isEmpty()) running[c.station].insert(c.installation);
    for (const auto& [station, installations] : running)
        if (installations.size() > 1) shared.insert(station);
    QStringList out = shared.values();
    out.sort();
    return out;
}

}  // namespace

void ClassView::refresh() {
    refreshDue_ = false;
    const ClassExercise* exercise = feed_->exercise() ? &*feed_->exercise() : nullptr;
    const Scenario judged = judgedBy();
    ranking_ = rankClass(feed_->stations(), scenario_, feed_->roster(), exercise);
    QString count = feed_->firstReadDone() ? QStringLiteral("%1 poste%2").arg(ranking_.size()).arg(ranking_.size() > 1 ? "s" : "")
                                           : QStringLiteral("lecture de la base…");
    if (exercise)
        count = QStringLiteral("%1 n° %2 « %3 », %4")
                    .arg(exercise->exam ? "Examen" : "Exercice")
                    .arg(exercise->number)
                    .arg(exercise->name, count);
    header_->setText(QStringLiteral("Classe : %1 — tolérances ±%2°, ±%3°, ±%4 mm, budget %5 €")
                         .arg(count)
                         .arg(fr(judged.toleranceA1, 2), fr(judged.toleranceA2, 2),
                              fr(judged.toleranceH, 2), fr(judged.budget, 0)));
    showClock();
    QStringList warnings;
    for (const QString& name : sharedNames(ranking_, feed_->contacts()))
        warnings << QStringLiteral("Deux postes portent le nom « %1 » : donnez à chacun son propre nom "
                                   "(onglet « Classe » de sa console).").arg(name);
    warning_->setText(warnings.join('\n'));
    warning_->setVisible(!warnings.isEmpty());

    std::map<QString, StationTile*> kept;
    for (std::size_t i = 0; i < ranking_.size(); ++i) {
        const Standing& s = ranking_[i];
        auto old = tiles_.find(s.key());
        StationTile* tile = old == tiles_.end() ? nullptr : old->second;
        if (old != tiles_.end()) tiles_.erase(old);
        if (!tile) {
            tile = new StationTile(gridHolder_);
            connect(tile, &StationTile::clicked, this, &ClassView::openStation);
            connect(tile, &StationTile::replayRequested, this, [this](const QString& key) {
                for (const Standing& standing : ranking_)
                    if (standing.key() == key) emit replayRequested(standing);
            });
        }
        kept[s.key()] = tile;
        tile->show(s, int(i) + 1, contactOf(s, feed_->contacts()), feed_->rowsLeftOut(s.station), exercise);
        auto open = opened_.find(s.key());
        if (open != opened_.end() && open->second && open->second->trials().size() != s.session.size())
            open->second->showTrials(s.session);
    }
    // A station taken off the roster, or whose name is no longer shared, leaves no tile behind.
    for (const auto& [key, tile] : tiles_) delete tile;
    tiles_ = std::move(kept);
    columns_ = 0;  // the order may have changed
    layoutTiles();
}

void ClassView::layoutTiles() {
    const int columns = std::clamp(width() / 300, 1, 6);
    if (columns == columns_) return;
    columns_ = columns;
    for (const auto& [key, tile] : tiles_) grid_->removeWidget(tile);
    for (std::size_t i = 0; i < ranking_.size(); ++i) {
        StationTile* tile = tiles_.at(ranking_[i].key());
        grid_->addWidget(tile, int(i) / columns, int(i) % columns);
        tile->setVisible(true);
    }
    for (int c = 0; c < 6; ++c) grid_->setColumnStretch(c, c < columns ? 1 : 0);
    // Placed now, not at the next pass of the event loop: a picture taken
    // meanwhile would show new tiles on top of each other.
    grid_->activate();
}

void ClassView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutTiles();
}

std::vector<StationTile*> ClassView::tiles() const {
    std::vector<StationTile*> out;
    for (const Standing& s : ranking_) out.push_back(tiles_.at(s.key()));
    return out;
}

SessionView* ClassView::openStation(const QString& key) {
    QPointer<SessionView>& view = opened_[key];
    if (!view) {
        view = new SessionView(this);
        view->setWindowFlag(Qt::Window);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->resize(1200, 700);
    }
    view->setScenario(judgedBy());
    for (const Standing& s : ranking_)
        if (s.key() == key) {
            view->setWindowTitle(QStringLiteral("%1 — %2 — %3")
                                     .arg(s.station, s.trainee,
                                          feed_->exercise() ? QStringLiteral("essais comptés dans l'exercice")
                                                            : QStringLiteral("session en cours")));
            view->showTrials(s.session);
        }
    view->show();
    view->raise();
    return view;
}
