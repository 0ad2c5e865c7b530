#pragma once
// The program's name and version, the one text that the summary file, the
// chain logs, `--version` and the desktop's About box all show.
namespace mixora {

inline constexpr const char* kProgramName = "Mixora";
inline constexpr const char* kProgramVersion = "v5.01";

}  // namespace mixora
