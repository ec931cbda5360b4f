// « Exercice en cours »: a small window beside the simulator's, opened when
// the class's exercise reaches the station, with what a trainee needs at a
// glance from the seat: the mode, the name, the time left counted down on the
// station from what the server said, the trials left, the tolerances and the
// budget. The simulator's own window stays as it is.
#pragma once

#include "class_exercise.h"

#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <optional>

class QLabel;

class ExerciseWindow : public QWidget {
public:
    // beside: the simulator's window, which keeps the keyboard.
    explicit ExerciseWindow(QWidget* beside);

    // The exercise as the station last heard it (number 0: none runs now),
    // with this station's trials made in it so far.
    void showExercise(const ClassExercise& exercise, int trialsMade);
    // A trial of this station was recorded in that exercise.
    void countTrial(int exercise);

private:
    void showTimeLeft();
    void showTrialsLeft();
    void showEnded();
    void fitHeight();
    void placeBeside(const QWidget& beside);

    int number_ = 0;
    std::optional<int> maxTrials_;
    int trialsMade_ = 0;
    std::optional<QDeadlineTimer> end_;  // with a time limit
    QTimer tick_;

    QLabel* mode_;
    QLabel* name_;
    QLabel* timeCaption_;
    QLabel* timeLeft_;
    QLabel* trialsCaption_;
    QLabel* trialsLeft_;
    QLabel* tolerances_;
    QLabel* budget_;
};

// The simulator's exercise window: opened beside its window at the first
// exercise the station hears of, and told what follows. From the window's thread.
void showClassExercise(const ClassExercise& exercise, int trialsMade);
void countTrialInExercise(int exercise);
