#pragma once
// Telling the kind of a control file from its first data line.
#include <cstdint>
#include <string>

namespace mixora {

// Returns 3 (Mixora Control) when the first data line begins with "MIXORA"
// (without regard to case), 2 (SPAM Control) when it begins with "*", 0
// (Unknown) otherwise, and -1 when the file cannot be opened. A file refused
// as text (a line over 2047 characters, binary data) is Unknown; `problem`,
// when given, then receives the refusal naming the file and line. So it does
// for a file without a data line.
int32_t ClassifyControlFile(const std::string& path, std::string* problem = nullptr);

}  // namespace mixora
