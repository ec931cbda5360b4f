// Texts inside values hold Windows-1252 codes in 16-bit characters ("€" is
// 0x80). This is the one place where they are mapped to and from Unicode.
#pragma once

#include <string>
#include <string_view>

// A Unicode character (code point) for a Windows-1252 code.
char32_t unicodeFromCp1252(char16_t code);
// The Windows-1252 code for a code point; '?' where the set has none.
char16_t cp1252FromUnicode(char32_t codePoint);

std::u16string cp1252FromUtf8(std::string_view utf8);
std::string utf8FromCp1252(std::u16string_view codes);
