// An exercise the trainer runs for the whole class, kept in the class
// database: its tolerances and budget, its limits, whether it is an exam,
// and the model every station evaluates during it. The server's clock is
// the exercise's clock.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <array>
#include <optional>
#include <string>

struct ClassExercise {
    int number = 0;
    QString name;
    double toleranceA1 = 1.0, toleranceA2 = 1.0, toleranceH = 0.5, budget = 10000.0;
    std::optional<double> minutes;  // the time limit, from the start
    std::optional<int> maxTrials;
    bool exam = false;
    std::optional<std::array<std::string, 3>> model;  // A1, A2, H; none: the built-in coefficients
    QString fingerprint;                             // of the model, « intégrés » for the built-in one
    // By the server's clock, as read from the class database.
    QDateTime start;
    std::optional<QDateTime> end;        // ended, or when its time limit ends it
    std::optional<double> secondsLeft;   // with a time limit, as the server said when read
    bool running = false;                // not ended and within its time, when read
};

// The longest name and time limit an exercise may have.
constexpr int kMaxExerciseName = 200;
constexpr double kMaxExerciseMinutes = 24 * 60;

// Starts the exercise for the class, ending the one that runs; its number.
std::optional<int> startExercise(QSqlDatabase& db, const ClassExercise& exercise, QString* error);
// The exercise that runs now by the server's clock, into running (none when
// no exercise runs), without its model's files, which readExercise gives:
// the stations and the console look for it often; false with the message
// when it could not be read.
bool readRunningExercise(QSqlDatabase& db, std::optional<ClassExercise>* running, QString* error);
// The exercise of that number, running or ended, with its model; none
// when there is no such exercise or it could not be read (then the message).
std::optional<ClassExercise> readExercise(QSqlDatabase& db, int number, QString* error);
// Ends the exercise now (or when its time ran out, if earlier).
bool stopExercise(QSqlDatabase& db, int number, QString* error);
