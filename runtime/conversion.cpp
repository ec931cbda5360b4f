#include "conversion.h"

#include "errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

std::string toChars(double x, std::chars_format format, int precision) {
    char buffer[512];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, x, format, precision);
    return std::string(buffer, result.ptr);
}

}  // namespace

mxArray mlfScalar(double value) { return mxArray::scalar(value); }

std::string num2strText(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
    if (x == 0.0) return "0";  // also -0
    if (std::floor(x) == x) return toChars(x, std::chars_format::fixed, 0);
    int digits = std::max(static_cast<int>(std::floor(std::log10(std::fabs(x)))), 0) + 5;
    return toChars(x, std::chars_format::general, std::min(digits, 17));
}

mxArray mlfNum2str(const mxArray& a) {
    if (a.isChar()) return a;
    if (!a.isDouble())
        throw mclError("Conversion en texte impossible pour une " + a.kindName() + ".");
    if (a.isEmpty()) return mxArray::text(std::u16string());
    // Several numbers: one row of texts separated by two blanks, rows by a
    // line end, which is enough for what the programs show.
    std::string out;
    for (std::size_t r = 0; r < a.rows(); ++r) {
        if (r > 0) out += '\n';
        for (std::size_t c = 0; c < a.cols(); ++c) {
            if (c > 0) out += "  ";
            std::size_t k = c * a.rows() + r;
            out += num2strText(a.at(k));
            if (a.imagAt(k) != 0.0) {
                double im = a.imagAt(k);
                out += (im < 0 || std::signbit(im) ? "-" : "+") + num2strText(std::fabs(im)) + "i";
            }
        }
    }
    return mxArray::text(out);
}

std::optional<double> parseOneNumber(std::string_view text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        // A second sign ("+-1") is not a number.
        if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    }
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Beyond the range of doubles: zero for a large negative exponent,
        // infinity otherwise.
        auto exponent = text.find_first_of("eE");
        bool tiny = exponent != std::string_view::npos && exponent + 1 < text.size() &&
                    text[exponent + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (error != std::errc()) {
        return std::nullopt;
    }
    if (end != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

mxArray mlfStr2num(const mxArray& text) {
    if (!text.isChar()) return text.isDouble() ? text : mxArray();
    auto value = parseOneNumber(text.toUtf8());
    return value ? mxArray::scalar(*value) : mxArray();
}
