#pragma once
// Small file helpers shared by the conversion windows and commands: can a
// file be written, report a failure of the system, create an output file
// after asking before replacing one.
#include <cstdio>
#include <string>

#include "core/atomic_file.h"
#include "core/interaction.h"
#include "core/system_error.h"

namespace mixora {

// 1 when `path` can be written: an existing file that is not read-only, or a
// new file that can be created (it is created and removed again at once).
// Otherwise 0 with errno set (EACCES for a read-only file) and, when `ui` is
// given, the system error report "Cannot write to" with the path.
int CheckWritable(const Interaction* ui, const std::string& path);

// Creates `path` for writing, replacing an existing file only after the
// question "Overwrite %s" (Yes to All, Yes, No) unless `overwriteAll` is
// already set; "Yes to All" sets it. The file is written as `pending` (a
// temporary file beside path, see CommitPendingFile) so an earlier file stays
// whole until the new one is complete. Returns the open stream, or null when
// the answer was No or the file cannot be created ("Cannot Open %s" is then
// shown with the warning icon).
std::FILE* CreateOutputFile(const Interaction& ui, const std::string& path, bool& overwriteAll,
                            PendingFile& pending);

// The text the folder chooser shows under its tree for a selected folder:
// the path, a line break, the space available to the user in the size text
// and " available disk space"; "\nError getting free space" after the path
// when the space cannot be read.
std::string FolderSpaceText(const std::string& folder);

}  // namespace mixora
