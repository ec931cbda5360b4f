#include "conversion.h"

#include "errors.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

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

std::size_t readNumberPrefix(std::string_view text, double& value) {
    std::size_t start = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    // A second sign ("+-1") is not a number.
    if (start == text.size() || text[start] == '+' || text[start] == '-') return 0;
    const char* first = text.data() + start;
    auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // The C library tells zero from infinity, in its own locale whatever
        // the process's.
        static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
        value = strtod_l(std::string(first, end).c_str(), nullptr, c);
    } else if (error != std::errc()) {
        return 0;
    }
    if (text[0] == '-') value = -value;
    return static_cast<std::size_t>(end - text.data());
}

std::optional<double> parseOneNumber(std::string_view text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    double value = 0.0;
    if (text.empty() || readNumberPrefix(text, value) != text.size()) return std::nullopt;
    return value;
}

mxArray mlfStr2num(const mxArray& text) {
    if (!text.isChar()) return text.isDouble() ? text : mxArray();
    auto value = parseOneNumber(text.toUtf8());
    return value ? mxArray::scalar(*value) : mxArray();
}
