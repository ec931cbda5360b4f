// The debrief: a session replayed one trial at a time, with the trainee
// beside the trainer. A timeline of the trials coloured by verdict, the five
// settings as gauges over their ranges, what moved and what it cost, the
// predictions against the target, the profile over the previous one, the
// single move that would have done best, and the trainer's comment.
#pragma once

#include "replay.h"
#include "trial_comments.h"

#include <QTimer>
#include <QWidget>

class QCPCurve;
class QCustomPlot;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The trials as ticks coloured by verdict; a click or a drag chooses one.
class ReplayTimeline : public QWidget {
    Q_OBJECT
public:
    explicit ReplayTimeline(QWidget* parent = nullptr);
    void setSteps(const std::vector<ReplayStep>* steps);
    void setCurrent(int index);
    QSize sizeHint() const override { return {600, 46}; }

signals:
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int indexAt(int x) const;
    QRect band() const;

    const std::vector<ReplayStep>* steps_ = nullptr;
    int current_ = 0;
};

// The five settings over their ranges, the previous trial's as a faint mark.
class SettingGauges : public QWidget {
    Q_OBJECT
public:
    explicit SettingGauges(QWidget* parent = nullptr);
    void setStep(const ReplayStep* step);
    QSize sizeHint() const override { return {460, 5 * 34}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ReplayStep* step_ = nullptr;
};

class ReplayView : public QWidget {
    Q_OBJECT
public:
    // session: its rows, in any order; place: where they and their comments are kept.
    ReplayView(std::vector<Trial> session, SessionPlace place, const Scenario& scenario, const QString& dataFolder,
               QWidget* parent = nullptr);
    // The replay in a window of its own over the parent, closed with it.
    static ReplayView* open(std::vector<Trial> session, SessionPlace place, const Scenario& scenario,
                            const QString& dataFolder, QWidget* parent);

    void showStep(int index);
    int current() const { return current_; }
    const std::vector<ReplayStep>& steps() const { return steps_; }
    // The labels' texts, top to bottom, for the trainer's eye and the tests.
    QStringList texts() const;
    // Keeps the comment typed for the trial shown; false when it is lost.
    bool saveComment();
    bool exportSheet(const QString& pdfFile);
    void setPlaying(bool playing);

protected:
    // ←/→ and Début/Fin, unless the comment being typed takes them.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* createControls();
    void showMessage(const QString& message);

    std::vector<ReplayStep> steps_;
    SessionPlace place_;
    Scenario scenario_;
    TrialComments comments_;
    int current_ = -1;

    ReplayTimeline* timeline_;
    SettingGauges* gauges_;
    QLabel *header_, *title_, *changes_, *charge_, *predictions_, *piste_, *notes_, *commentTitle_, *message_;
    QCustomPlot* chart_;
    QCPCurve *previous_, *latest_;
    QPlainTextEdit* comment_;
    QPushButton* play_;
    QDoubleSpinBox* pace_;
    QTimer player_;
};
