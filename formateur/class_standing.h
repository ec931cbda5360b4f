// How each station of a class stands in its latest session, and the class's
// ranking: first the stations that reached the tolerances within the budget,
// then those that reached them over budget, each by the trial that first did
// (fewest trials first, then the cheaper); then the others, the closest to
// the target first; last the stations expected that have no trial yet.
#pragma once

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

    int count() const { return latest ? latest->count : 0; }
    double cost() const { return latest ? latest->total() : 0; }
    // The trial the rank comes from: the first success, else the closest.
    const std::optional<Trial>& rankedTrial() const { return firstSuccess ? firstSuccess : best; }
    // Names the tile and the opened session: the station, and its installation when shared.
    QString key() const { return installation.isEmpty() ? station : station + QChar(0x1f) + installation; }
};

// rows: every row of one station, any order.
Standing standingOf(const std::vector<Trial>& rows, const Scenario& scenario);
bool ranksBefore(const Standing& a, const Standing& b);
// The class ranked, from every station's rows; a station expected with no
// row gets a standing without a session. Rows of one name from two
// installations give two standings.
std::vector<Standing> rankClass(const std::map<QString, std::vector<Trial>>& rowsByStation, const Scenario& scenario,
                                const QStringList& expected = {});

// Rows of one station in the order they were made: by time, then number.
void sortRows(std::vector<Trial>& rows);
