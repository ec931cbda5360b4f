#include "arithmetic.h"

#include "errors.h"

#include <cmath>
#include <complex>
#include <functional>

namespace {

const mxArray& numeric(const mxArray& a, const char* operation) {
    if (a.isDouble() || a.isChar()) return a;
    throw mclError(std::string("Opération « ") + operation + " » impossible sur une " + a.kindName() +
                   ".");
}

[[noreturn]] void dimensionError(const char* operation, const mxArray& a, const mxArray& b) {
    throw mclError(std::string("Dimensions incompatibles pour « ") + operation + " » : " +
                   a.sizeText() + " et " + b.sizeText() + ".");
}

std::vector<double> realParts(const mxArray& a) {
    std::vector<double> out(a.numel());
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = a.at(k);
    return out;
}

// Element-wise operation with scalar expansion, on real and imaginary parts.
mxArray elementwise(const mxArray& a, const mxArray& b, const char* operation,
                    const std::function<std::complex<double>(std::complex<double>, std::complex<double>)>& op) {
    numeric(a, operation);
    numeric(b, operation);
    std::size_t rows = a.rows(), cols = a.cols();
    if (a.isScalar()) {
        rows = b.rows();
        cols = b.cols();
    } else if (!b.isScalar() && (a.rows() != b.rows() || a.cols() != b.cols())) {
        dimensionError(operation, a, b);
    }
    const std::size_t n = rows * cols;
    std::vector<double> re(n), im(n);
    bool complexResult = false;
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t ka = a.isScalar() ? 0 : k, kb = b.isScalar() ? 0 : k;
        auto r = op({a.at(ka), a.imagAt(ka)}, {b.at(kb), b.imagAt(kb)});
        re[k] = r.real();
        im[k] = r.imag();
        complexResult = complexResult || r.imag() != 0.0;
    }
    mxArray out = mxArray::matrix(rows, cols, std::move(re));
    if (complexResult) out.setImag(std::move(im));
    return out;
}

// Real operands give a real result: complex arithmetic would make NaN of the
// zero imaginary parts times an infinite one (Inf * 8 would be Inf - NaNi).
template <class Op>
auto realWhenReal(Op op) {
    return [op](std::complex<double> x, std::complex<double> y) {
        if (x.imag() == 0.0 && y.imag() == 0.0) return std::complex<double>(op(x.real(), y.real()));
        return std::complex<double>(op(x, y));
    };
}

mxArray transpose(const mxArray& a) {
    std::vector<double> out(a.numel());
    for (std::size_t r = 0; r < a.rows(); ++r)
        for (std::size_t c = 0; c < a.cols(); ++c) out[r * a.cols() + c] = a.at(r, c);
    return mxArray::matrix(a.cols(), a.rows(), std::move(out));
}

}  // namespace

mxArray mclPlus(const mxArray& a, const mxArray& b) {
    return elementwise(a, b, "+", realWhenReal([](auto x, auto y) { return x + y; }));
}

mxArray mclMinus(const mxArray& a, const mxArray& b) {
    return elementwise(a, b, "-", realWhenReal([](auto x, auto y) { return x - y; }));
}

mxArray mclMtimes(const mxArray& a, const mxArray& b) {
    numeric(a, "*");
    numeric(b, "*");
    if (a.isScalar() || b.isScalar())
        return elementwise(a, b, "*", realWhenReal([](auto x, auto y) { return x * y; }));
    if (a.cols() != b.rows()) dimensionError("*", a, b);
    if (a.isComplex() || b.isComplex())
        throw mclError("Produit matriciel de valeurs complexes non pris en charge.");
    std::vector<double> out(a.rows() * b.cols(), 0.0);
    for (std::size_t c = 0; c < b.cols(); ++c)
        for (std::size_t r = 0; r < a.rows(); ++r) {
            double sum = 0.0;
            for (std::size_t k = 0; k < a.cols(); ++k) sum += a.at(r, k) * b.at(k, c);
            out[c * a.rows() + r] = sum;
        }
    return mxArray::matrix(a.rows(), b.cols(), std::move(out));
}

mxArray mclMrdivide(const mxArray& a, const mxArray& b) {
    numeric(b, "/");
    if (!b.isScalar())
        throw mclError("Division par une valeur de taille " + b.sizeText() +
                       " : seul un diviseur scalaire est pris en charge.");
    return elementwise(a, b, "/", realWhenReal([](auto x, auto y) { return x / y; }));
}

mxArray mclMpower(const mxArray& a, const mxArray& b) {
    numeric(a, "^");
    numeric(b, "^");
    if (!a.isScalar() || !b.isScalar())
        throw mclError("Puissance de valeurs de tailles " + a.sizeText() + " et " + b.sizeText() +
                       " : seules les puissances de scalaires sont prises en charge.");
    return elementwise(a, b, "^", [](auto x, auto y) {
        // A real power of a real number is real, but for a negative base and a
        // fractional exponent; an integer power stays exact.
        if (x.imag() == 0.0 && y.imag() == 0.0 && (x.real() >= 0 || std::floor(y.real()) == y.real()))
            return std::complex<double>(std::pow(x.real(), y.real()), 0.0);
        return std::pow(x, y);
    });
}

mxArray mlf_times_transpose(const mxArray& a, const mxArray& b, int code) {
    if (code != 2) throw mclError("Code d'opération inconnu : " + std::to_string(code) + ".");
    numeric(b, "*");
    return mclMtimes(a, transpose(b));
}

mxArray mlfCtranspose(const mxArray& a) {
    numeric(a, "'");
    mxArray out = transpose(a);
    if (a.isComplex()) {
        mxArray imagPart = transpose(mxArray::matrix(a.rows(), a.cols(), a.imag()));
        std::vector<double> conj = imagPart.real();
        for (double& v : conj) v = -v;
        out.setImag(std::move(conj));
    }
    return out;
}

mxArray mlfTan(const mxArray& a) {
    return elementwise(a, mxArray::scalar(0.0), "tan", [](auto x, auto) {
        return x.imag() == 0.0 ? std::complex<double>(std::tan(x.real()), 0.0) : std::tan(x);
    });
}

mxArray mlfReal(const mxArray& a) {
    numeric(a, "real");
    return mxArray::matrix(a.rows(), a.cols(), realParts(a));
}

mxArray mlfIsreal(const mxArray& a) { return mxArray::scalar(a.isComplex() ? 0.0 : 1.0); }
