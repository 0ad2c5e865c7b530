#pragma once
// The first step of preparing a run: reading a control file (keywords and
// blocks) into a run definition and checking its counts.
#include <string>

#include "core/error_flags.h"
#include "input/control.h"

namespace mixora {

// Rebuilds `control` from the control file at `path`, whose kind the caller
// has already stored in control.controlKind (3 reads the text layout, any
// other kind the SPAM layout). Logs every step into control.log and ends it
// with "\r\nControl File Load SUCCESS!!" or "FAIL!!". Returns 0 on success,
// otherwise the flags of the step that failed; -1 when the control file,
// the baseline or the mixture cannot be opened.
//
// Baseline and mixture names without a folder are taken from the control
// file's folder. A SPAM control file also sets NumberOfChains 4, Title
// "SPAM Conversion", Levels from its stock block and the first start stock.
ErrorFlags LoadControlFile(const std::string& path, Control& control);

}  // namespace mixora
