#pragma once
// Turning SPAM control files into text control files.
#include <string>
#include <vector>

#include "core/interaction.h"

namespace mixora {

// Reads the SPAM control file at `ctlPath` into a fresh run definition,
// running every step (keywords, file names, character, stock and group
// blocks, and their count checks) whatever the earlier ones gave, and on
// success writes the text control file `outPath`. Baseline and mixture names
// are completed with the control file's folder and made absolute, so the
// text control file finds them from any folder. The whole log is shown in an
// information message. Returns 0 on success, the union of the steps' flags
// when a step failed, or 1 when the text control file could not be written.
// When `why` is given, a failure leaves in it the problem and the item or
// line it concerns, for a closing error that names them.
int ConvertSpamControlFile(const std::string& ctlPath, const std::string& outPath,
                           const Interaction& ui, std::string* why = nullptr);

// Converts each file into `outFolder`, named as the file with the text after
// its last "." replaced by "Tcf". An existing output is replaced only after
// "Overwrite %s" is answered yes; an output that would be its own input is
// skipped. Ends with "%d fil%s converted". Returns the number converted.
// `failures`, when given, receives one "<file>: <reason>" per file not
// converted.
int ConvertSpamControlFiles(const std::vector<std::string>& files, const std::string& outFolder,
                            const Interaction& ui, std::vector<std::string>* failures = nullptr);

// The output name ConvertSpamControlFiles gives a file.
std::string SpamConversionOutputName(const std::string& file, const std::string& outFolder);

}  // namespace mixora
