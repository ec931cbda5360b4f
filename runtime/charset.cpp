#include "charset.h"

#include <array>

namespace {

// Codes 0x80 to 0x9F; 0 marks the five codes the set leaves undefined, which
// are kept as the C1 control of the same number.
constexpr std::array<char32_t, 32> kHighRow = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

char32_t unicodeFromCp1252(char16_t code) {
    if (code >= 0x80 && code <= 0x9F) {
        char32_t mapped = kHighRow[code - 0x80];
        return mapped ? mapped : code;
    }
    return code;
}

char16_t cp1252FromUnicode(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char16_t>(cp);
    for (std::size_t i = 0; i < kHighRow.size(); ++i)
        if (kHighRow[i] == cp || (kHighRow[i] == 0 && cp == 0x80 + i))
            return static_cast<char16_t>(0x80 + i);
    return u'?';
}

std::u16string cp1252FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        int extra = byte < 0x80 ? 0 : byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + extra >= utf8.size() + (extra == 0)) {
            // A stray or truncated byte: not valid UTF-8, shown as '?'.
            out += u'?';
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? byte : byte & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) { valid = false; break; }
            cp = (cp << 6) | (next & 0x3F);
        }
        // An overlong form ("\xC0\xB2" for '2'), a surrogate or a code point
        // beyond Unicode is not valid either: it must not pass for a character.
        constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (!valid || cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += u'?';
            ++i;
            continue;
        }
        out += cp1252FromUnicode(cp);
        i += extra + 1;
    }
    return out;
}

std::string utf8FromCp1252(std::u16string_view codes) {
    std::string out;
    out.reserve(codes.size());
    for (char16_t c : codes) appendUtf8(out, unicodeFromCp1252(c));
    return out;
}
