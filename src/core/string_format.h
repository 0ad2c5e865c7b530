#pragma once
// printf-style formatting into std::string, for the text layouts that are
// written with exact format strings.
#include <cstdarg>
#include <string>

namespace mixora {

// Formats with a va_list (the caller keeps ownership of args).
std::string FormatVa(const char* format, va_list args);

// Formats into a new string.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats and appends to out.
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace mixora
