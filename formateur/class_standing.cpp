#include "class_standing.h"

#include <QSet>

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
        if (!t.plausible()) {
            ++s.implausible;
            continue;
        }
        s.latest = t;
        if (!s.firstSuccess && scenario.meets(t)) s.firstSuccess = t;
        const double d = scenario.distance(t);
        if (!s.best || d < s.bestDistance) {
            s.best = t;
            s.bestDistance = d;
        }
    }
    s.withinBudget = s.firstSuccess && s.firstSuccess->total() <= scenario.budget;
    return s;
}

namespace {

// 0: reached within budget, 1: reached over budget, 2: not reached, 3: no trial.
int group(const Standing& s) {
    if (!s.latest) return 3;
    if (!s.firstSuccess) return 2;
    return s.withinBudget ? 0 : 1;
}

}  // namespace

bool ranksBefore(const Standing& a, const Standing& b) {
    if (group(a) != group(b)) return group(a) < group(b);
    if (a.firstSuccess) {
        const auto ka = std::make_tuple(a.firstSuccess->count, a.firstSuccess->total());
        const auto kb = std::make_tuple(b.firstSuccess->count, b.firstSuccess->total());
        if (ka != kb) return ka < kb;
    } else if (a.best) {
        const auto ka = std::make_tuple(a.bestDistance, a.best->count, a.best->total());
        const auto kb = std::make_tuple(b.bestDistance, b.best->count, b.best->total());
        if (ka != kb) return ka < kb;
    }
    return std::tie(a.station, a.installation) < std::tie(b.station, b.installation);
}

std::vector<Standing> rankClass(const std::map<QString, std::vector<Trial>>& rowsByStation, const Scenario& scenario,
                                const QStringList& expected) {
    std::vector<Standing> out;
    for (const auto& [station, rows] : rowsByStation) {
        // Rows from before installations were named go with the one installation there is.
        QSet<QString> installations;
        for (const Trial& t : rows)
            if (!t.installation.isEmpty()) installations.insert(t.installation);
        if (installations.size() <= 1) {
            out.push_back(standingOf(rows, scenario));
            out.back().station = station;
            continue;
        }
        for (const QString& installation : installations) {
            std::vector<Trial> own;
            std::copy_if(rows.begin(), rows.end(), std::back_inserter(own),
                         [&](const Trial& t) { return t.installation == installation; });
            out.push_back(standingOf(own, scenario));
            out.back().station = station;
            out.back().installation = installation;
        }
    }
    for (const QString& station : expected)
        if (!rowsByStation.count(station)) {
            out.emplace_back();
            out.back().station = station;
        }
    std::stable_sort(out.begin(), out.end(), ranksBefore);
    return out;
}
