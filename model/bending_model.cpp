#include "bending_model.h"

#include <numeric>

namespace bending {

const std::array<Term, kTermCount>& terms() {
    static const std::array<Term, kTermCount> list = [] {
        std::array<Term, kTermCount> t;
        int k = 1;
        for (int i = 0; i < 5; ++i) t[k++] = {i, -1};
        for (int i = 0; i < 5; ++i)
            for (int j = i + 1; j < 5; ++j) t[k++] = {i, j};
        for (int i = 0; i < 5; ++i) t[k++] = {i, i};
        return t;
    }();
    return list;
}

TermRow termRow(const Coded& x) {
    TermRow row;
    for (int k = 0; k < kTermCount; ++k) {
        const Term& t = terms()[k];
        row[k] = t.first < 0 ? 1 : t.second < 0 ? x[t.first] : x[t.first] * x[t.second];
    }
    return row;
}

double evaluate(const TermRow& coefficients, const Coded& x) {
    const TermRow t = termRow(x);
    return std::inner_product(coefficients.begin(), coefficients.end(), t.begin(), 0.0);
}

const std::array<std::string, kTermCount>& termNames() {
    static const std::array<std::string, kTermCount> names = [] {
        std::array<std::string, kTermCount> n;
        for (int k = 0; k < kTermCount; ++k) {
            const Term& t = terms()[k];
            n[k] = t.first < 0                ? std::string("1")
                   : t.second < 0             ? std::string(facts::kVariables[t.first].symbol)
                   : t.second == t.first      ? std::string(facts::kVariables[t.first].symbol) + "²"
                                              : std::string(facts::kVariables[t.first].symbol) + "·" +
                                                    facts::kVariables[t.second].symbol;
        }
        return n;
    }();
    return names;
}

const ModelRows& builtInRows() {
    static const ModelRows rows = {{
        {132.8059994, -1.931087942, 1.086162249, 3.55587323, -2.095970998, -3.1288359, -0.254279732,
         -0.52930133, 0.268705182, -0.081378716, 0.099218339, -0.098211872, -0.065952902, -0.030779209,
         0.09334202, -0.007962146, -0.728896251, 0.199819533, 0.035203787, 0.367702197, 0.286598138},
        {128.8776092, 7.822867331, 1.923077469, 3.951198497, -2.761647251, 3.013463635, -0.391700012,
         -0.491300274, 0.3349355, -0.478014299, 0.296490281, 0.345910573, 0.018958282, 0.52523462,
         -0.256053147, 0.032923571, 2.193412555, -0.43434357, -0.535318587, -0.402707051, -0.618831791},
        {32.89855927, 1.388847371, -0.09122793, -0.116378227, 2.291961099, 1.880930283, 0.206136868,
         0.581677957, -0.132858312, 0.210460892, -0.070883456, -0.083014876, 0.085868875, 0.008582492,
         0.2576019, -0.008412675, 0.596073587, -0.359770214, -0.284611648, -0.406261894, -0.439414628},
    }};
    return rows;
}

}  // namespace bending
