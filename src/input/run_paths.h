#pragma once
// Where a prepared run's files go, and which of its inputs a path names.
#include <string>

#include "input/control.h"

namespace mixora {

// The run control file a load writes: OutputFolder (taken from the control
// file's folder when relative, the control file's folder when empty)
// followed by the control file's name with the extension "rcf".
std::string DefaultRunControlPath(const std::string& controlPath, const std::string& outputFolder);

// "the control file", "the baseline" or "the mixture" when path is that input
// of the loaded run (the same file, by any name), else "". An output written
// over one of them would destroy the run's own data.
std::string InputRoleOf(const Control& control, const std::string& controlPath,
                        const std::string& path);

}  // namespace mixora
