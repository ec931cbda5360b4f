// How each station of a class stands in its latest session, or in the
// class's exercise, and the class's ranking: first the stations that reached
// the tolerances within the budget, then those that reached them over
// budget, each by the trial that first did (fewest trials first, then the
// cheaper); then the others, the closest to the target first; last the
// stations expected that have no trial yet.
#pragma once

#include "class_exercise.h"
#include "journal.h"
#include "scenario.h"

#include <map>
#include <optional>
#include <vector>

struct Standing {
    QString station, trainee;
    // The installation that sent the rows, when two share the station's name.
    QString installation;
    std::vector<Trial> session;  // the latest session, oldest trial first
    std::optional<Trial> firstSuccess;  // the first trial in tolerance
    std::optional<Trial> best;          // the trial closest to the target
    double bestDistance = 0;            // its largest deviation, in tolerances
    bool withinBudget = false;          // the first success cost no more than the budget
    int implausible = 0;                // rows of the session no simulator could have made: never ranked
    std::optional<Trial> latest;        // the latest plausible trial
    // In an exercise: its rows that do not count, made after its end or
    // beyond its largest number of trials, or with another model than its own.
    int outOfExercise = 0, modelChanged = 0;

    int count() const { return latest ? latest->count : 0; }
    double cost() const { return latest ? latest->total() : 0; }
    // The trial the rank comes from: the first success, else the closest.
    const std::optional<Trial>& rankedTrial() const { return firstSuccess ? firstSuccess : best; }
    // Names the tile and the opened session: the station, and its installation when shared.
    QString key() const { return installation.isEmpty() ? station : station + QChar(0x1f) + installation; }
};

// How a row of an exercise is judged.
enum class RowStatus { Counts, OutOfExercise, ModelChanged };
// « compte », « hors exercice », « modèle modifié ».
QString statusText(RowStatus status);

// A row of an exercise as judged, and as the exercise counts it when it
// counts: its trial's number in the exercise and what the exercise's
// counted trials cost up to it.
struct JudgedRow {
    Trial row;
    RowStatus status = RowStatus::Counts;
    Trial counted;
};

// rows: every row of one station, any order. The rows of the exercise, any
// session, in the order the class database received them, each judged by
// the server's clock and the exercise's limits and model.
std::vector<JudgedRow> judgeExerciseRows(const std::vector<Trial>& rows, const ClassExercise& exercise);
// The exercise's tolerances and budget, as a scenario.
Scenario scenarioOf(const ClassExercise& exercise);

// rows: every row of one station, any order. Without an exercise, the
// station stands by its latest session; with one, by the exercise's rows
// that count, whatever sessions they belong to.
Standing standingOf(const std::vector<Trial>& rows, const Scenario& scenario, const ClassExercise* exercise = nullptr);
bool ranksBefore(const Standing& a, const Standing& b);
// The class ranked, from every station's rows; a station expected with no
// row gets a standing without a session. Rows of one name from two
// installations give two standings. With an exercise, the scenario is the
// exercise's.
std::vector<Standing> rankClass(const std::map<QString, std::vector<Trial>>& rowsByStation, const Scenario& scenario,
                                const QStringList& expected = {}, const ClassExercise* exercise = nullptr);

// Rows of one station in the order they were made: by time, then number.
void sortRows(std::vector<Trial>& rows);
