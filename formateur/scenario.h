// The exercise as the trainer sets it: tolerances around the target part and
// a budget, kept in data/scenario.ini; and the judgement of trials by it.
#pragma once

#include "journal.h"

#include <QString>

#include <optional>
#include <vector>

// The exercise's file, in the data folder, and the lock its writers take beside it.
inline constexpr const char* kScenarioFile = "scenario.ini";
inline constexpr const char* kScenarioLockFile = "scenario.lock";

struct Scenario {
    double toleranceA1 = 1.0;  // ± degrees
    double toleranceA2 = 1.0;  // ± degrees
    double toleranceH = 0.5;   // ± mm
    double budget = 10000.0;   // euros

    bool operator==(const Scenario& o) const;
    bool operator!=(const Scenario& o) const { return !(*this == o); }

    bool meets(double A1, double A2, double H) const;
    bool meets(const Trial& t) const { return meets(t.A1, t.A2, t.H); }
    // The largest deviation measured in tolerances: 1 is the edge of the box.
    double distance(const Trial& t) const;
};

// What the trainer sets, with the range and precision its field offers.
struct ScenarioField {
    const char* key;    // in scenario.ini
    const char* label;  // in the window
    double Scenario::*value;
    double minimum, maximum, step;
    int decimals;
    const char* unit;
};
const std::vector<ScenarioField>& scenarioFields();

// Reads FILE; missing values keep their defaults. A value outside its
// field's range, or finer than the field shows, is refused. Damaged lines, or the whole
// file when it is from another version, are set aside in FILE.bad and the
// file is rewritten with what was good. Returns the message for the trainer,
// empty when all was well.
QString loadScenario(const QString& path, Scenario& scenario);
// Sets one field in FILE as it is now, so that what another console wrote
// there meanwhile is kept; scenario receives what the file then holds. Both
// this and a repair hold the folder's scenario.lock while they read and write.
QString saveScenarioField(const QString& path, const ScenarioField& field, double value, Scenario& scenario);

// A number as a French reader writes it.
QString fr(double x, int decimals);

enum class Verdict { InTolerance, OverBudget, OutOfTolerance };
Verdict judge(const Trial& t, const Scenario& s);
QString verdictText(Verdict v);

// The header line: the first trial in tolerance with its cost and count, or
// how far the best trial still is.
QString sessionScore(const std::vector<Trial>& session, const Scenario& s);
