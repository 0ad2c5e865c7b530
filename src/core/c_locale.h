#pragma once
// What the engine reads and writes must not change with the user's locale:
// the desktop runs in the user's locale (a decimal comma, Turkish case
// rules, German month names), and a file written there must be the file the
// command line writes, and read back the same. These helpers stand in for
// the C library's locale-bound ones.
#include <ctime>
#include <string>

namespace mixora {

// Letters folded over A-Z / a-z only: in a Turkish locale tolower('I') is
// not 'i', and keywords such as MAXMISSINGLOCI would not be recognised.
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// strtod in the C locale: "1.5" is one and a half whatever the user's
// decimal separator.
double StrtodC(const char* text, char** end);

// "%b %d, %Y %H:%M:%S" with the English month abbreviations ("Dec 11, 2026
// 10:35:02").
std::string FormatDateTimeC(const std::tm& time);

}  // namespace mixora
