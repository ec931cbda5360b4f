#include "plan.h"

#include "factors.h"

#include <random>
#include <sstream>

namespace etalonnage {

Plan makePlan(int centres, std::uint64_t seed) {
    std::vector<PlanRun> runs;
    for (int i = 0; i < 16; ++i) {
        Coded x{};
        for (int v = 0; v < 4; ++v) x[v] = (i >> v & 1) ? 1 : -1;
        x[4] = x[0] * x[1] * x[2] * x[3];
        runs.push_back({0, x, "factoriel"});
    }
    for (int v = 0; v < 5; ++v)
        for (double end : {-1.0, 1.0}) {
            Coded x{};
            x[v] = end;
            runs.push_back({0, x, "axial"});
        }
    for (int i = 0; i < centres; ++i) runs.push_back({0, Coded{}, "centre"});

    // A shuffle of our own: the standard distributions may differ between
    // libraries, and a seed must give the same order wherever it is replayed.
    std::mt19937_64 random(seed);
    for (std::size_t i = runs.size(); i > 1; --i) std::swap(runs[i - 1], runs[random() % i]);
    for (std::size_t i = 0; i < runs.size(); ++i) runs[i].number = int(i) + 1;
    return {seed, centres, runs};
}

std::string planCsv(const Plan& plan) {
    std::ostringstream out;
    out << "\xEF\xBB\xBF";  // the mark that tells a spreadsheet the sheet is UTF-8
    out << "essai";
    for (const Variable& v : kVariables) out << ';' << v.symbol << " (" << v.unit << ')';
    for (const Result& r : kResults) out << ';' << r.symbol << " (" << r.unit << ')';
    out << "\r\n";
    for (const PlanRun& run : plan.runs) {
        out << run.number;
        for (int v = 0; v < 5; ++v) {
            // Every level is a whole number on these ranges; print it as a spreadsheet reads it.
            std::ostringstream cell;
            cell << realValue(kVariables[v], run.coded[v]);
            std::string text = cell.str();
            for (char& c : text)
                if (c == '.') c = ',';
            out << ';' << text;
        }
        out << ";;;\r\n";
    }
    return out.str();
}

}  // namespace etalonnage
