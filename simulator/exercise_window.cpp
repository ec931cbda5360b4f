#include "exercise_window.h"

#include "host.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kWidth = 300;
constexpr int kGap = 12;  // between the two windows

QString french(double x, int decimals) { return QLocale(QLocale::French).toString(x, 'f', decimals); }

// 1:05:09, 12:34, 0:07: minutes and seconds, hours when there are some.
QString clock(qint64 seconds) {
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString ms = QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
    return h > 0 ? QStringLiteral("%1:%2").arg(h).arg(ms.rightJustified(5, QLatin1Char('0'))) : ms;
}

// A label of plain text (the exercise's name comes from the server: never markup).
QLabel* label(const QString& style, Qt::Alignment alignment = Qt::AlignLeft, const QString& text = {}) {
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setAlignment(alignment | Qt::AlignVCenter);
    l->setStyleSheet(style);
    return l;
}

const QString kCaption = QStringLiteral("color: #4d5660; font-size: 11pt;");
// The time left first, then the trials left.
const QString kTime = QStringLiteral("color: #111820; font-size: 40pt; font-weight: bold;");
const QString kTrials = QStringLiteral("color: #111820; font-size: 24pt; font-weight: bold;");
const QString kWords = QStringLiteral("color: #111820; font-size: 18pt; font-weight: bold;");
const QString kDetail = QStringLiteral("color: #111820; font-size: 12pt;");

QString inRed(const QString& style) { return QString(style).replace("#111820", "#b3261e"); }

}  // namespace

ExerciseWindow::ExerciseWindow(QWidget* beside)
    : QWidget(beside, Qt::Window | Qt::WindowDoesNotAcceptFocus),
      mode_(label({}, Qt::AlignCenter)),
      name_(label(QStringLiteral("color: #111820; font-size: 15pt; font-weight: bold;"))),
      timeCaption_(label(kCaption, Qt::AlignCenter, QStringLiteral("Temps restant"))),
      timeLeft_(label(kTime, Qt::AlignCenter)),
      trialsCaption_(label(kCaption, Qt::AlignCenter, QStringLiteral("Essais restants"))),
      trialsLeft_(label(kTrials, Qt::AlignCenter)),
      tolerances_(label(kDetail)),
      budget_(label(kDetail)) {
    setWindowTitle(QStringLiteral("Exercice en cours"));
    // Shown beside the simulator, whose window keeps the keyboard.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedWidth(kWidth);
    setAutoFillBackground(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, QColor(0xf7, 0xf8, 0xfa));
    setPalette(colors);

    auto* figures = new QGridLayout;
    figures->addWidget(timeCaption_, 0, 0);
    figures->addWidget(timeLeft_, 1, 0);
    figures->addWidget(trialsCaption_, 2, 0);
    figures->addWidget(trialsLeft_, 3, 0);
    figures->setVerticalSpacing(2);
    trialsCaption_->setContentsMargins(0, 8, 0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 14);
    layout->setSpacing(8);
    layout->addWidget(mode_);
    layout->addWidget(name_);
    layout->addLayout(figures);
    auto* details = new QGridLayout;
    details->addWidget(label(kCaption, Qt::AlignLeft, QStringLiteral("Tolérances")), 0, 0, Qt::AlignTop);
    details->addWidget(tolerances_, 0, 1);
    details->addWidget(label(kCaption, Qt::AlignLeft, QStringLiteral("Budget")), 1, 0);
    details->addWidget(budget_, 1, 1);
    details->setColumnStretch(1, 1);
    details->setHorizontalSpacing(12);
    layout->addSpacing(4);
    layout->addLayout(details);
    layout->addStretch(1);

    tick_.setSingleShot(true);
    tick_.setTimerType(Qt::PreciseTimer);
    connect(&tick_, &QTimer::timeout, this, &ExerciseWindow::showTimeLeft);
}

void ExerciseWindow::showExercise(const ClassExercise& exercise, int trialsMade) {
    if (exercise.number == 0) return showEnded();
    // Told again of the same exercise, the station may have recorded trials the journal had not yet.
    trialsMade_ = exercise.number == number_ ? std::max(trialsMade_, trialsMade) : trialsMade;
    number_ = exercise.number;
    maxTrials_ = exercise.maxTrials;
    end_.reset();
    if (exercise.secondsLeft) end_ = QDeadlineTimer(qint64(std::ceil(*exercise.secondsLeft * 1000)), Qt::PreciseTimer);

    setWindowTitle(QStringLiteral("Exercice en cours"));
    mode_->setText(exercise.exam ? QStringLiteral("Examen") : QStringLiteral("Entraînement"));
    mode_->setStyleSheet(QStringLiteral("color: white; font-size: 13pt; font-weight: bold; padding: 4px; "
                                        "border-radius: 4px; background: %1;")
                             .arg(exercise.exam ? "#b3261e" : "#1f5f99"));
    name_->setText(exercise.name);
    tolerances_->setText(QStringLiteral("A1 ± %1°\nA2 ± %2°\nH ± %3 mm")
                             .arg(french(exercise.toleranceA1, 2), french(exercise.toleranceA2, 2),
                                  french(exercise.toleranceH, 2)));
    budget_->setText(QStringLiteral("%1 €").arg(french(exercise.budget, 0)));
    for (QLabel* shown : {timeCaption_, trialsCaption_, trialsLeft_}) shown->show();
    showTimeLeft();
    showTrialsLeft();
    fitHeight();
    if (!isVisible()) {
        if (parentWidget()) placeBeside(*parentWidget());
        show();
    }
}

void ExerciseWindow::countTrial(int exercise) {
    if (exercise != number_) return;
    ++trialsMade_;
    showTrialsLeft();
}

void ExerciseWindow::showTimeLeft() {
    if (number_ == 0) return;
    if (!end_) {
        timeLeft_->setStyleSheet(kWords);
        timeLeft_->setText(QStringLiteral("sans limite"));
        return;
    }
    const qint64 ms = end_->remainingTime();
    if (ms <= 0) return showEnded();
    const qint64 seconds = (ms + 999) / 1000;
    // The last minute in red.
    timeLeft_->setStyleSheet(seconds <= 60 ? inRed(kTime) : kTime);
    timeLeft_->setText(clock(seconds));
    tick_.start(int(ms - (seconds - 1) * 1000));  // when the shown second changes
}

void ExerciseWindow::showTrialsLeft() {
    if (!maxTrials_) {
        trialsLeft_->setStyleSheet(kWords);
        trialsLeft_->setText(QStringLiteral("sans limite"));
        return;
    }
    const int left = std::max(0, *maxTrials_ - trialsMade_);
    trialsLeft_->setStyleSheet(left == 0 ? inRed(kTrials) : kTrials);
    trialsLeft_->setText(QStringLiteral("%1 sur %2").arg(left).arg(*maxTrials_));
}

// What the exercise was stays shown; the time and the trials make way for its end.
void ExerciseWindow::showEnded() {
    if (number_ == 0) return;
    number_ = 0;
    tick_.stop();
    setWindowTitle(QStringLiteral("Exercice terminé"));
    for (QLabel* hidden : {timeCaption_, trialsCaption_, trialsLeft_}) hidden->hide();
    timeLeft_->setStyleSheet(QString(kWords).replace("#111820", "#1f5f99"));
    timeLeft_->setText(QStringLiteral("Exercice terminé"));
    fitHeight();
}

// A window does not take its height from its width by itself: a long name would be cut.
void ExerciseWindow::fitHeight() { setFixedHeight(layout()->totalHeightForWidth(kWidth)); }

// To the right of the simulator's window, else to its left, below or above
// it, whichever fits on its screen first; with room nowhere, where the
// window covers the least of it.
void ExerciseWindow::placeBeside(const QWidget& beside) {
    const QRect screen = beside.screen()->availableGeometry();
    const QRect main = beside.frameGeometry();
    const QSize size = frameGeometry().size();
    const QRect candidates[] = {
        QRect(QPoint(main.right() + kGap, main.top()), size),
        QRect(QPoint(main.left() - kGap - size.width(), main.top()), size),
        QRect(QPoint(main.left(), main.bottom() + kGap), size),
        QRect(QPoint(main.left(), main.top() - kGap - size.height()), size),
    };
    auto onScreen = [&](QRect r) {
        r.moveLeft(std::clamp(r.left(), screen.left(), std::max(screen.left(), screen.right() - r.width())));
        r.moveTop(std::clamp(r.top(), screen.top(), std::max(screen.top(), screen.bottom() - r.height())));
        return r;
    };
    auto covered = [&](const QRect& r) {
        const QRect common = onScreen(r).intersected(main);
        return common.isEmpty() ? 0 : common.width() * common.height();
    };
    const QRect* best = std::min_element(std::begin(candidates), std::end(candidates),
                                         [&](const QRect& a, const QRect& b) { return covered(a) < covered(b); });
    move(onScreen(*best).topLeft());
}

namespace {

QPointer<ExerciseWindow> shown;

}  // namespace

void showClassExercise(const ClassExercise& exercise, int trialsMade) {
    if (!shown && exercise.number == 0) return;  // nothing to end
    if (!shown) shown = new ExerciseWindow(mclFigureWindow());
    shown->showExercise(exercise, trialsMade);
}

void countTrialInExercise(int exercise) {
    if (shown) shown->countTrial(exercise);
}
