#include "comparison.h"

#include "arithmetic.h"
#include "errors.h"

namespace {

// Element-wise test with scalar expansion; gives 0/1 doubles.
template <typename Test>
mxArray compare(const mxArray& a, const mxArray& b, const char* operation, Test test) {
    if ((!a.isDouble() && !a.isChar()) || (!b.isDouble() && !b.isChar()))
        throw mclError(std::string("Comparaison « ") + operation + " » impossible entre " +
                       a.kindName() + " et " + b.kindName() + ".");
    std::size_t rows = a.isScalar() ? b.rows() : a.rows();
    std::size_t cols = a.isScalar() ? b.cols() : a.cols();
    if (!a.isScalar() && !b.isScalar() && (a.rows() != b.rows() || a.cols() != b.cols()))
        throw mclError(std::string("Dimensions incompatibles pour « ") + operation + " » : " +
                       a.sizeText() + " et " + b.sizeText() + ".");
    std::vector<double> out(rows * cols);
    for (std::size_t k = 0; k < out.size(); ++k) {
        std::size_t ka = a.isScalar() ? 0 : k, kb = b.isScalar() ? 0 : k;
        out[k] = test(a.at(ka), a.imagAt(ka), b.at(kb), b.imagAt(kb)) ? 1.0 : 0.0;
    }
    return mxArray::matrix(rows, cols, std::move(out));
}

}  // namespace

mxArray mclEq(const mxArray& a, const mxArray& b) {
    return compare(a, b, "==", [](double ar, double ai, double br, double bi) {
        return ar == br && ai == bi;
    });
}

bool mclEqBool(const mxArray& a, const mxArray& b) { return mlfTobool(mclEq(a, b)); }

bool mclGtBool(const mxArray& a, const mxArray& b) {
    return mlfTobool(compare(a, b, ">", [](double ar, double, double br, double) { return ar > br; }));
}

mxArray mclOr(const mxArray& a, const mxArray& b) {
    return compare(a, b, "|", [](double ar, double ai, double br, double bi) {
        return ar != 0.0 || ai != 0.0 || br != 0.0 || bi != 0.0;
    });
}

mxArray mclAnd(const mxArray& a, const mxArray& b) {
    return compare(a, b, "&", [](double ar, double ai, double br, double bi) {
        return (ar != 0.0 || ai != 0.0) && (br != 0.0 || bi != 0.0);
    });
}

bool mclNotBool(const mxArray& a) { return !mlfTobool(a); }

bool mlfTobool(const mxArray& a) {
    if (a.isCell() || a.isStruct())
        throw mclError("Une " + a.kindName() + " ne se convertit pas en vrai ou faux.");
    if (a.isEmpty()) return false;
    for (std::size_t k = 0; k < a.numel(); ++k)
        if (a.at(k) == 0.0 && a.imagAt(k) == 0.0) return false;
    return true;
}

mxArray mlfLogicalScalar(bool value) { return mxArray::scalar(value ? 1.0 : 0.0); }

mxArray mlfStrcmp(const mxArray& a, const mxArray& b) {
    return mlfLogicalScalar(a.isChar() && b.isChar() && a.codes() == b.codes());
}

mxArray mlfIsstr(const mxArray& a) { return mlfLogicalScalar(a.isChar()); }

bool mclSwitchCompare(const mxArray& value, const mxArray& caseValue) {
    if (caseValue.isChar()) return value.isChar() && value.codes() == caseValue.codes();
    return !value.isChar() && !value.isEmpty() && value.isScalar() && mclEqBool(value, caseValue);
}
