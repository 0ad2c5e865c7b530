#pragma once
// Whether a run control file on disk was written from the inputs a control
// file names today, so an interrupted analysis can continue with it instead
// of writing it afresh (which would orphan the chains' samples) or running
// stale data.
#include <string>

#include "core/interaction.h"
#include "input/control.h"

namespace mixora {

// Packs `control` (loaded and checked, FileKinds set) as the load would and
// compares it with the content of the run control file at rcfPath. The paths
// stored in the settings are compared by the files they name, so a control
// file given by another relative path still matches. Returns true when the
// two agree; otherwise false with `why` saying what differs (or why the file
// cannot be read).
bool RunControlMatchesInputs(const Control& control, const std::string& rcfPath, std::string& why);

}  // namespace mixora
