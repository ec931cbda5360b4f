// How each station of a class stands in its latest session, and the class's
// ranking: first the stations that reached the tolerances, by the trial that
// first did (fewest trials first, then the cheaper); then the others, the
// closest to the target first, then the cheaper.
#pragma once

#include "journal.h"
#include "scenario.h"

#include <map>
#include <optional>
#include <vector>

struct Standing {
    QString station, trainee;
    std::vector<Trial> session;  // the latest session, oldest trial first
    std::optional<Trial> firstSuccess;  // the first trial in tolerance
    std::optional<Trial> best;          // the trial closest to the target
    double bestDistance = 0;            // its largest deviation, in tolerances

    int count() const { return session.empty() ? 0 : session.back().count; }
    double cost() const { return session.empty() ? 0 : session.back().total(); }
};

// rows: every row of one station, any order.
Standing standingOf(const std::vector<Trial>& rows, const Scenario& scenario);
bool ranksBefore(const Standing& a, const Standing& b);
// The class ranked, from every station's rows.
std::vector<Standing> rankClass(const std::map<QString, std::vector<Trial>>& rowsByStation, const Scenario& scenario);

// Rows of one station in the order they were made: by time, then number.
void sortRows(std::vector<Trial>& rows);
