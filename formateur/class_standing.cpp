#include "class_standing.h"

#include <algorithm>
#include <tuple>

void sortRows(std::vector<Trial>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const Trial& a, const Trial& b) {
        return std::tie(a.time, a.number) < std::tie(b.time, b.number);
    });
}

Standing standingOf(const std::vector<Trial>& rows, const Scenario& scenario) {
    Standing s;
    if (rows.empty()) return s;
    auto latest = std::max_element(rows.begin(), rows.end(), [](const Trial& a, const Trial& b) {
        return std::tie(a.time, a.number) < std::tie(b.time, b.number);
    });
    s.station = latest->station;
    s.trainee = latest->trainee;
    for (const Trial& t : rows)
        if (t.session == latest->session) s.session.push_back(t);
    std::stable_sort(s.session.begin(), s.session.end(),
                     [](const Trial& a, const Trial& b) { return a.number < b.number; });
    for (const Trial& t : s.session) {
        if (!s.firstSuccess && scenario.meets(t)) s.firstSuccess = t;
        const double d = scenario.distance(t);
        if (!s.best || d < s.bestDistance) {
            s.best = t;
            s.bestDistance = d;
        }
    }
    return s;
}

bool ranksBefore(const Standing& a, const Standing& b) {
    if (a.session.empty() != b.session.empty()) return b.session.empty();
    if (a.firstSuccess.has_value() != b.firstSuccess.has_value()) return a.firstSuccess.has_value();
    if (a.firstSuccess) {
        const auto ka = std::make_tuple(a.firstSuccess->count, a.firstSuccess->total());
        const auto kb = std::make_tuple(b.firstSuccess->count, b.firstSuccess->total());
        if (ka != kb) return ka < kb;
    } else if (a.bestDistance != b.bestDistance || a.cost() != b.cost()) {
        return std::make_tuple(a.bestDistance, a.cost()) < std::make_tuple(b.bestDistance, b.cost());
    }
    return a.station < b.station;
}

std::vector<Standing> rankClass(const std::map<QString, std::vector<Trial>>& rowsByStation, const Scenario& scenario) {
    std::vector<Standing> out;
    for (const auto& [station, rows] : rowsByStation) {
        out.push_back(standingOf(rows, scenario));
        out.back().station = station;
    }
    std::stable_sort(out.begin(), out.end(), ranksBefore);
    return out;
}
