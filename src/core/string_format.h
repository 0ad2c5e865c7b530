#pragma once
// printf-style formatting into std::string, for the text layouts that are
// written with exact format strings.
#include <cstdarg>
#include <cstdint>
#include <string>

namespace mixora {

// Formats with a va_list (the caller keeps ownership of args).
std::string FormatVa(const char* format, va_list args);

// Formats into a new string.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats and appends to out.
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// "%d" below 1024 bytes; otherwise "%.2lf" of the size divided by the
// largest of 1024, 1024^2, 1024^3, 1024^4 not above it, with KB, MB, GB, TB.
std::string FormatSizeText(uint64_t bytes);

}  // namespace mixora
