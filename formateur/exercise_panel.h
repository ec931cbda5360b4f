// The trainer's exercise panel, above the class view: an exercise made from
// the console's scenario and the model of its poly/, with a name, an
// optional time limit and largest number of trials, and a mode; started for
// the whole class, or the running one stopped. What runs shows as the class
// database says it.
#pragma once

#include "scenario.h"

#include <QGroupBox>

class ClassFeed;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class ExercisePanel : public QGroupBox {
    Q_OBJECT
public:
    ExercisePanel(const QString& conninfo, ClassFeed* feed, QWidget* parent = nullptr);
    void setScenario(const Scenario& scenario) { scenario_ = scenario; }

    // Starts the exercise as the fields set it, ending the running one
    // (the trainer confirms that first); false with the message shown.
    bool startForClass();
    // Stops the running exercise (the trainer confirms first).
    bool stopRunning();

    // Whether to ask the trainer before ending a running exercise; off for scripts.
    void setConfirming(bool confirming) { confirming_ = confirming; }

private:
    void showRunning();
    bool confirmed(const QString& question);
    void fail(const QString& message);

    QString conninfo_;
    ClassFeed* feed_;
    Scenario scenario_;
    QLineEdit* name_;
    QDoubleSpinBox* minutes_;
    QSpinBox* trials_;
    QComboBox* mode_;
    QPushButton *start_, *stop_;
    QLabel* running_;
    bool confirming_ = true;
};
