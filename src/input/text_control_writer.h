#pragma once
// Writing a run definition out as a text control file.
#include <string>

#include "input/control.h"

namespace mixora {

// Writes "MIXORA", the Title, every other keyword of the text table with its
// formatted value, then the character, stock and group blocks, all with CR LF
// line ends; excluded items are written behind "! ". Stock lines carry their
// prior weights when the run has them, and blanks inside a stock name become
// "_" so the name reads back whole. Returns 1 when the whole file was written,
// 0 when it could not be created or written (or the Control holds no settings).
int WriteTextControlFile(const std::string& path, const Control& control);

// The text the writer produces, for callers that write it elsewhere.
std::string FormatTextControlFile(const Control& control);

}  // namespace mixora
