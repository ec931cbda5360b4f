// Text to number: what parseOneNumber accepts, the C library reads the same.
#include "conversion.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<double> ours = parseOneNumber(text);

    // A text value holds the bytes decoded from UTF-8: nothing the decoder
    // lets through may turn into a number the bytes were not.
    mxArray viaArray = mlfStr2num(mxArray::text(text));
    if (ours.has_value() != !viaArray.isEmpty()) std::abort();
    if (!ours) return 0;
    if (!std::isnan(*ours) && viaArray.at(0) != *ours) std::abort();

    // strtod reads the C locale's notation (the fuzzer never changes the locale)
    // and, beyond the range of doubles, gives zero or infinity like ours must.
    if (text.find('\0') != std::string::npos) std::abort();
    const char* start = text.c_str();
    char* end = nullptr;
    double reference = std::strtod(start, &end);
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') ++end;
    if (*end != '\0') std::abort();
    if (std::isnan(reference) != std::isnan(*ours)) std::abort();
    if (!std::isnan(reference) && reference != *ours && !(std::fabs(reference) < 0x1p-1022 && *ours == 0))
        std::abort();
    return 0;
}
