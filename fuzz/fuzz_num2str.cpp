// Number to text: the text reads back as the number rounded to the digits the
// conversion promises (integers in full, else max(exponent, 0) + 5 digits).
#include "conversion.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double x = 0;
    if (size != sizeof x) return -1;  // not kept in the corpus
    std::memcpy(&x, data, sizeof x);
    std::string text = num2strText(x);
    std::optional<double> back = parseOneNumber(text);
    if (!back) std::abort();
    if (std::isnan(x)) return std::isnan(*back) ? 0 : (std::abort(), 0);

    double expected = x == 0 ? 0.0 : x;  // -0 shows as "0"
    if (std::isfinite(x) && std::floor(x) != x) {
        // The decimal exponent from the exact decimal expansion, not from log10.
        char exact[64];
        std::snprintf(exact, sizeof exact, "%.16e", x);
        int exponent = std::atoi(std::strchr(exact, 'e') + 1);
        char rounded[64];
        int digits = (exponent > 0 ? exponent : 0) + 5;
        std::snprintf(rounded, sizeof rounded, "%.*e", (digits > 17 ? 17 : digits) - 1, x);
        expected = std::strtod(rounded, nullptr);
    }
    if (*back != expected) {
        std::fprintf(stderr, "%.17g shows as %s, reads back as %.17g, expected %.17g\n", x, text.c_str(), *back,
                     expected);
        std::abort();
    }
    return 0;
}
