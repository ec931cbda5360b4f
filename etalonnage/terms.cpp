#include "terms.h"

#include "factors.h"

#include <numeric>

namespace etalonnage {

TermRow termRow(const Coded& x) {
    TermRow row;
    row[0] = 1;
    int k = 1;
    for (int i = 0; i < 5; ++i) row[k++] = x[i];
    for (int i = 0; i < 5; ++i)
        for (int j = i + 1; j < 5; ++j) row[k++] = x[i] * x[j];
    for (int i = 0; i < 5; ++i) row[k++] = x[i] * x[i];
    return row;
}

double evaluate(const TermRow& coefficients, const Coded& x) {
    const TermRow t = termRow(x);
    return std::inner_product(t.begin(), t.end(), coefficients.begin(), 0.0);
}

const std::array<std::string, kTermCount>& termNames() {
    static const std::array<std::string, kTermCount> names = [] {
        std::array<std::string, kTermCount> n;
        n[0] = "1";
        int k = 1;
        for (const Variable& v : kVariables) n[k++] = v.symbol;
        for (int i = 0; i < 5; ++i)
            for (int j = i + 1; j < 5; ++j)
                n[k++] = std::string(kVariables[i].symbol) + "·" + kVariables[j].symbol;
        for (const Variable& v : kVariables) n[k++] = std::string(v.symbol) + "²";
        return n;
    }();
    return names;
}

}  // namespace etalonnage
