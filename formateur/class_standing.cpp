#include "class_standing.h"

#include <QSet>

#include <algorithm>
#include <map>
#include <tuple>

void sortRows(std::vector<Trial>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const Trial& a, const Trial& b) {
        return std::tie(a.time, a.number) < std::tie(b.time, b.number);
    });
}

namespace {

// The first trial in tolerance, the closest and the latest of trials in their order.
void judgeTrials(Standing& s, const Scenario& scenario) {
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
}

// When the class database received a row; a row of the station's own journal, when it was made.
const QDateTime& receivedAt(const Trial& t) { return t.received.isValid() ? t.received : t.time; }

}  // namespace

QString statusText(RowStatus status) {
    switch (status) {
        case RowStatus::OutOfExercise: return QStringLiteral("hors exercice");
        case RowStatus::ModelChanged: return QStringLiteral("modèle modifié");
        case RowStatus::Counts: break;
    }
    return QStringLiteral("compte");
}

Scenario scenarioOf(const ClassExercise& e) {
    Scenario s;
    s.toleranceA1 = e.toleranceA1;
    s.toleranceA2 = e.toleranceA2;
    s.toleranceH = e.toleranceH;
    s.budget = e.budget;
    return s;
}

std::vector<JudgedRow> judgeExerciseRows(const std::vector<Trial>& rows, const ClassExercise& e) {
    // A session's account runs on through an exercise: what a trial cost is
    // what its totals grew since the session's trial before it.
    std::map<QString, std::map<int, const Trial*>> bySession;
    std::vector<const Trial*> made;
    for (const Trial& t : rows) {
        bySession[t.session][t.number] = &t;
        if (e.number != 0 && t.exercise == e.number) made.push_back(&t);
    }
    std::stable_sort(made.begin(), made.end(), [](const Trial* a, const Trial* b) {
        return std::make_tuple(receivedAt(*a), a->time, a->number) < std::make_tuple(receivedAt(*b), b->time, b->number);
    });
    std::vector<JudgedRow> out;
    int trials = 0;
    double tooling = 0, adjustment = 0;
    for (const Trial* t : made) {
        JudgedRow judged;
        judged.row = *t;
        const QDateTime& when = receivedAt(*t);
        if (when < e.start || (e.end && when > *e.end) || (e.maxTrials && trials >= *e.maxTrials)) {
            judged.status = RowStatus::OutOfExercise;
        } else {
            ++trials;
            if (t->fingerprint != e.fingerprint) judged.status = RowStatus::ModelChanged;
        }
        if (judged.status == RowStatus::Counts) {
            const auto& session = bySession[t->session];
            const auto self = session.find(t->number);
            const Trial* before = self == session.begin() ? nullptr : std::prev(self)->second;
            // A hostile station's totals may fall, or be no number: they add nothing.
            if (t->plausible()) {
                tooling += std::max(0.0, t->tooling - (before ? before->tooling : 0.0));
                adjustment += std::max(0.0, t->adjustment - (before ? before->adjustment : 0.0));
            }
            judged.counted = *t;
            judged.counted.count = trials;
            judged.counted.tooling = tooling;
            judged.counted.adjustment = adjustment;
        }
        out.push_back(std::move(judged));
    }
    return out;
}

Standing standingOf(const std::vector<Trial>& rows, const Scenario& scenario, const ClassExercise* exercise) {
    Standing s;
    if (rows.empty()) return s;
    auto latest = std::max_element(rows.begin(), rows.end(), [](const Trial& a, const Trial& b) {
        return std::tie(a.time, a.number) < std::tie(b.time, b.number);
    });
    s.station = latest->station;
    s.trainee = latest->trainee;
    if (exercise) {
        for (const JudgedRow& j : judgeExerciseRows(rows, *exercise)) {
            if (j.status == RowStatus::Counts) s.session.push_back(j.counted);
            s.outOfExercise += j.status == RowStatus::OutOfExercise;
            s.modelChanged += j.status == RowStatus::ModelChanged;
        }
        judgeTrials(s, scenarioOf(*exercise));
        return s;
    }
    for (const Trial& t : rows)
        if (t.session == latest->session) s.session.push_back(t);
    std::stable_sort(s.session.begin(), s.session.end(),
                     [](const Trial& a, const Trial& b) { return a.number < b.number; });
    judgeTrials(s, scenario);
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
                                const QStringList& expected, const ClassExercise* exercise) {
    std::vector<Standing> out;
    for (const auto& [station, rows] : rowsByStation) {
        // Rows from before installations were named go with the one installation there is.
        QSet<QString> installations;
        for (const Trial& t : rows)
            if (!t.installation.isEmpty()) installations.insert(t.installation);
        if (installations.size() <= 1) {
            out.push_back(standingOf(rows, scenario, exercise));
            out.back().station = station;
            continue;
        }
        for (const QString& installation : installations) {
            std::vector<Trial> own;
            std::copy_if(rows.begin(), rows.end(), std::back_inserter(own),
                         [&](const Trial& t) { return t.installation == installation; });
            out.push_back(standingOf(own, scenario, exercise));
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
