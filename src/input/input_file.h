#pragma once
// Opening a text input file of the run definition: the shared first steps of
// every reader (keyword tables, control-file blocks, baseline, mixture).
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "core/text_file.h"

namespace mixora {

// Logs "Reading %s file: %s" with the reader's label and the path, then reads
// the whole file into `file`. Returns 0 when the file is ready; kErrFatal (-1)
// after logging "Cannot open file" when it cannot be opened; and
// kErrCannotParseLine after logging the refusal (naming the file and line)
// when it holds a line longer than 2047 characters or binary data, so no
// reader ever sees a split line or stray bytes.
ErrorFlags OpenInputFile(const std::string& path, const char* label, LogBuffer& log,
                         TextFile& file);

}  // namespace mixora
