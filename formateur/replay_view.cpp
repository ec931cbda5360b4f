#include "replay_view.h"

#include "debrief_sheet.h"
#include "facts.h"
#include "report.h"
#include "session_view.h"

#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <cmath>

namespace {

QColor verdictColour(Verdict v) {
    switch (v) {
    case Verdict::InTolerance: return {0, 130, 60};
    case Verdict::OverBudget: return {215, 125, 0};
    case Verdict::OutOfTolerance: break;
    }
    return {185, 30, 30};
}

QLabel* plainLabel(double scale = 1.0, bool bold = false) {
    auto* l = new QLabel;
    // Rows and comments are typed by people: shown as typed, never as markup.
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * scale);
    f.setBold(bold);
    l->setFont(f);
    return l;
}

}  // namespace

ReplayTimeline::ReplayTimeline(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(46);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
}

void ReplayTimeline::setSteps(const std::vector<ReplayStep>* steps) {
    steps_ = steps;
    update();
}

void ReplayTimeline::setCurrent(int index) {
    current_ = index;
    update();
}

QRect ReplayTimeline::band() const { return rect().adjusted(8, 10, -8, -14); }

int ReplayTimeline::indexAt(int x) const {
    const int n = steps_ ? int(steps_->size()) : 0;
    if (n == 0) return -1;
    const QRect b = band();
    return std::clamp(int((x - b.left()) * double(n) / std::max(1, b.width())), 0, n - 1);
}

void ReplayTimeline::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect b = band();
    p.fillRect(b, QColor(235, 235, 235));
    const int n = steps_ ? int(steps_->size()) : 0;
    if (n == 0) return;
    const double w = double(b.width()) / n;
    for (int i = 0; i < n; ++i) {
        const ReplayStep& s = (*steps_)[std::size_t(i)];
        const QRectF tick(b.left() + i * w, b.top(), std::max(1.0, w - (w > 4 ? 1 : 0)), b.height());
        p.fillRect(tick, verdictColour(s.verdict));
        // A commented trial has a mark above its tick.
        if (!s.comment.isEmpty()) {
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(tick.center().x(), b.center().y()), 4, 4);
        }
    }
    const QRectF at(b.left() + current_ * w, b.top() - 2, std::max(3.0, w), b.height() + 4);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(at);
    // The trial's number under the marker.
    p.setPen(Qt::black);
    const QString number = QString::number((*steps_)[std::size_t(current_)].trial.number);
    p.drawText(QRectF(at.center().x() - 30, b.bottom() + 1, 60, 13), Qt::AlignCenter, number);
}

void ReplayTimeline::mousePressEvent(QMouseEvent* event) {
    if (const int i = indexAt(int(event->position().x())); i >= 0) emit chosen(i);
}

void ReplayTimeline::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) mousePressEvent(event);
}

SettingGauges::SettingGauges(QWidget* parent) : QWidget(parent) { setMinimumHeight(5 * 30); }

void SettingGauges::setStep(const ReplayStep* step) {
    step_ = step;
    update();
}

void SettingGauges::paintEvent(QPaintEvent*) {
    if (!step_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double rowHeight = height() / 5.0;
    const int labelWidth = 150, valueWidth = 90;
    for (std::size_t i = 0; i < facts::kVariables.size(); ++i) {
        const facts::Variable& v = facts::kVariables[i];
        const double top = i * rowHeight, mid = top + rowHeight * 0.45;
        const QRectF bar(labelWidth, mid - 5, width() - labelWidth - valueWidth - 12, 10);
        auto xOf = [&](double real) { return bar.left() + (real - v.min) / (v.max - v.min) * bar.width(); };
        const bool moved = std::any_of(step_->changes.begin(), step_->changes.end(),
                                       [i](const Change& c) { return c.variable == int(i); });
        QFont f = font();
        f.setBold(moved);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, top, labelWidth - 8, rowHeight * 0.9), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("%1 — %2").arg(QString::fromUtf8(v.symbol), QString::fromUtf8(v.label)));
        p.setPen(QPen(QColor(120, 120, 120), 1));
        p.setBrush(QColor(230, 230, 230));
        p.drawRoundedRect(bar, 4, 4);
        // The range's ends under the bar.
        p.setFont(font());
        const double small = rowHeight * 0.38;
        p.drawText(QRectF(bar.left(), bar.bottom() + 1, 80, small), Qt::AlignLeft | Qt::AlignTop, realText(int(i), v.min));
        p.drawText(QRectF(bar.right() - 80, bar.bottom() + 1, 80, small), Qt::AlignRight | Qt::AlignTop,
                   realText(int(i), v.max));
        const double now = step_->trial.setting[i];
        if (step_->previous) {
            const double x = xOf(step_->previous->setting[i]);
            p.setPen(QPen(QColor(120, 120, 120, 160), 3));
            p.drawLine(QPointF(x, bar.top() - 5), QPointF(x, bar.bottom() + 5));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 60, 200));
        p.drawRoundedRect(QRectF(bar.left(), bar.top() + 2, xOf(now) - bar.left(), bar.height() - 4), 2, 2);
        p.setBrush(QColor(0, 40, 150));
        p.drawEllipse(QPointF(xOf(now), mid), 7, 7);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRectF(width() - valueWidth, top, valueWidth, rowHeight * 0.9), Qt::AlignVCenter | Qt::AlignRight,
                   realText(int(i), now));
    }
}

ReplayView::ReplayView(std::vector<Trial> session, SessionPlace place, const Scenario& scenario,
                       const QString& dataFolder, QWidget* parent)
    : QWidget(parent), place_(std::move(place)), scenario_(scenario), comments_(dataFolder) {
    setWindowTitle(QStringLiteral("Débriefing — %1").arg(stationAndTrainee(session)));
    setLocale(QLocale(QLocale::French));
    // The keys step through the trials wherever the trainer clicked, but in the comment.
    setFocusPolicy(Qt::StrongFocus);
    QString problem;
    const std::map<int, QString> comments = comments_.load(place_, &problem);
    TrialModels models(facts::kCoefficientFolder);
    const QString header = QStringLiteral("%1 — session %2").arg(stationAndTrainee(session), sessionDates(session));
    steps_ = replaySteps(std::move(session), scenario_, models, comments);

    header_ = plainLabel(1.15, true);
    header_->setText(header);
    title_ = plainLabel(1.4, true);
    changes_ = plainLabel(1.1);
    charge_ = plainLabel(1.1);
    predictions_ = plainLabel(1.1);
    piste_ = plainLabel(1.1, true);
    notes_ = plainLabel(1.0, true);
    notes_->setStyleSheet("color: #8a4b00;");
    message_ = plainLabel();
    timeline_ = new ReplayTimeline;
    timeline_->setSteps(&steps_);
    connect(timeline_, &ReplayTimeline::chosen, this, &ReplayView::showStep);
    gauges_ = new SettingGauges;

    chart_ = newProfileChart();
    auto* target = new QCPCurve(chart_->xAxis, chart_->yAxis);
    setProfile(target, profilePoints(kTargetA1, kTargetA2, kTargetH));
    target->setPen(QPen(Qt::red, 2, Qt::DotLine));
    target->setName("Profil cible");
    previous_ = new QCPCurve(chart_->xAxis, chart_->yAxis);
    previous_->setPen(QPen(QColor(120, 120, 120, 150), 2, Qt::DashLine));
    previous_->setName("Essai précédent");
    latest_ = new QCPCurve(chart_->xAxis, chart_->yAxis);
    latest_->setPen(QPen(QColor(0, 40, 200), 3));
    latest_->setName("Cet essai");

    comment_ = new QPlainTextEdit;
    comment_->setPlaceholderText("Ce que le stagiaire retient de cet essai…");
    commentTitle_ = plainLabel(1.0, true);
    auto* saveComment = new QPushButton("Enregistrer le commentaire");
    connect(saveComment, &QPushButton::clicked, this, [this] { this->saveComment(); });

    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(gauges_);
    left->addWidget(changes_);
    left->addWidget(charge_);
    left->addWidget(predictions_);
    left->addWidget(piste_);
    left->addWidget(notes_);
    left->addSpacing(6);
    left->addWidget(commentTitle_);
    left->addWidget(comment_, 1);
    left->addWidget(saveComment, 0, Qt::AlignRight);
    auto* leftHolder = new QWidget;
    leftHolder->setLayout(left);
    auto* splitter = new QSplitter;
    splitter->addWidget(leftHolder);
    splitter->addWidget(chart_);
    splitter->setSizes({660, 540});
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header_);
    layout->addWidget(timeline_);
    layout->addWidget(createControls());
    layout->addWidget(title_);
    layout->addWidget(splitter, 1);
    layout->addWidget(message_);
    showMessage(problem);

    connect(&player_, &QTimer::timeout, this, [this] {
        if (current_ + 1 >= int(steps_.size())) return setPlaying(false);
        showStep(current_ + 1);
    });
    showStep(0);
}

ReplayView* ReplayView::open(std::vector<Trial> session, SessionPlace place, const Scenario& scenario,
                             const QString& dataFolder, QWidget* parent) {
    auto* view = new ReplayView(std::move(session), std::move(place), scenario, dataFolder, parent);
    view->setWindowFlag(Qt::Window);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->resize(QSize(1280, 800).boundedTo(view->screen()->availableGeometry().size()));
    view->show();
    return view;
}

void ReplayView::keyPressEvent(QKeyEvent* event) {
    const std::map<int, int> moves{{Qt::Key_Left, -1}, {Qt::Key_Right, 1}, {Qt::Key_Home, -1'000'000}, {Qt::Key_End, 1'000'000}};
    const auto move = moves.find(event->key());
    if (move == moves.end()) return QWidget::keyPressEvent(event);
    showStep(current_ + move->second);
}

QWidget* ReplayView::createControls() {
    auto* holder = new QWidget;
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    auto button = [&](const QString& text, int move) {
        auto* b = new QPushButton(text);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [this, move] { showStep(current_ + move); });
        row->addWidget(b);
    };
    button("Début", -1'000'000);
    button("← Précédent", -1);
    play_ = new QPushButton("▶ Lecture");
    play_->setFocusPolicy(Qt::NoFocus);
    connect(play_, &QPushButton::clicked, this, [this] { setPlaying(!player_.isActive()); });
    row->addWidget(play_);
    button("Suivant →", 1);
    button("Fin", 1'000'000);
    row->addSpacing(16);
    row->addWidget(new QLabel("Rythme :"));
    pace_ = new QDoubleSpinBox;
    pace_->setRange(0.2, 30);
    pace_->setSingleStep(0.5);
    pace_->setDecimals(1);
    pace_->setValue(2);
    pace_->setSuffix(" s par essai");
    connect(pace_, &QDoubleSpinBox::valueChanged, this, [this](double s) { player_.setInterval(int(s * 1000)); });
    player_.setInterval(2000);
    row->addWidget(pace_);
    row->addStretch(1);
    auto* sheet = new QPushButton("Fiche de débriefing (PDF)…");
    connect(sheet, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(this, "Fiche de débriefing", "debriefing.pdf", "PDF (*.pdf)");
        if (!file.isEmpty() && !exportSheet(file)) showMessage("Impossible d'écrire " + file + ".");
    });
    row->addWidget(sheet);
    return holder;
}

void ReplayView::setPlaying(bool playing) {
    if (playing && current_ + 1 >= int(steps_.size())) showStep(0);
    playing ? player_.start() : player_.stop();
    play_->setText(playing ? QStringLiteral("⏸ Pause") : QStringLiteral("▶ Lecture"));
}

void ReplayView::showStep(int index) {
    if (steps_.empty()) {
        title_->setText("Aucun essai dans cette session.");
        return;
    }
    index = std::clamp(index, 0, int(steps_.size()) - 1);
    // A comment typed and not saved is kept before the trial changes.
    if (current_ >= 0 && index != current_ && comment_->document()->isModified()) saveComment();
    current_ = index;
    const ReplayStep& s = steps_[std::size_t(index)];
    const Trial& t = s.trial;
    title_->setText(QStringLiteral("Essai %1 sur %2 — n° %3 — %4 — %5 : plus grand écart %6 fois la tolérance")
                        .arg(index + 1)
                        .arg(steps_.size())
                        .arg(t.number)
                        .arg(t.time.toString("HH:mm:ss"), verdictText(s.verdict), fr(s.distance, 2)));
    title_->setStyleSheet(QStringLiteral("color: %1;").arg(verdictColour(s.verdict).name()));
    changes_->setText("Changements : " + s.changeTexts().join(" · "));
    charge_->setText(QStringLiteral("Facturé : %1 — total de la session %2 €").arg(s.chargeText(), fr(t.total(), 0)));
    auto line = [](const QString& name, double value, double target, double tolerance, const QString& unit) {
        const double deviation = value - target;
        return QStringLiteral("%1 = %2%5 (écart %3%5, tolérance ±%4%5) %6")
            .arg(name, fr(value, 2), fr(deviation, 2), fr(tolerance, 2), unit,
                 std::abs(deviation) <= tolerance ? QStringLiteral("✓ dans la tolérance") : QStringLiteral("✗ hors tolérance"));
    };
    predictions_->setText(QStringList{line("A1", t.A1, kTargetA1, scenario_.toleranceA1, "°"),
                                      line("A2", t.A2, kTargetA2, scenario_.toleranceA2, "°"),
                                      line("H", t.H, kTargetH, scenario_.toleranceH, "\u00A0mm")}
                              .join('\n'));
    piste_->setText(s.pisteText());
    notes_->setText(s.notes.join('\n'));
    notes_->setVisible(!s.notes.isEmpty());
    gauges_->setStep(&s);
    timeline_->setCurrent(index);
    setProfile(latest_, profilePoints(t.A1, t.A2, t.H));
    if (s.previous)
        setProfile(previous_, profilePoints(s.previous->A1, s.previous->A2, s.previous->H));
    else
        previous_->data()->clear();
    chart_->replot(QCustomPlot::rpQueuedReplot);
    commentTitle_->setText(QStringLiteral("Commentaire du formateur sur l'essai n° %1 :").arg(t.number));
    comment_->setPlainText(s.comment);
    comment_->document()->setModified(false);
}

bool ReplayView::saveComment() {
    if (current_ < 0 || steps_.empty()) return false;
    ReplayStep& s = steps_[std::size_t(current_)];
    const QString text = comment_->toPlainText().trimmed();
    QString problem;
    const bool kept = comments_.save(place_, s.trial.number, text, &problem);
    if (kept) {
        s.comment = text;
        comment_->document()->setModified(false);
        timeline_->update();
    }
    showMessage(!problem.isEmpty() ? problem
                                   : QStringLiteral("Commentaire de l'essai n° %1 enregistré.").arg(s.trial.number));
    return kept;
}

void ReplayView::showMessage(const QString& message) {
    message_->setText(message);
    message_->setVisible(!message.isEmpty());
}

QStringList ReplayView::texts() const {
    QStringList out;
    for (QLabel* l : {header_, title_, changes_, charge_, predictions_, piste_, notes_}) out << l->text();
    return out;
}

bool ReplayView::exportSheet(const QString& pdfFile) { return writeDebriefSheet(pdfFile, steps_, scenario_); }
