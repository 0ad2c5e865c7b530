#pragma once
// Writing the run control file: one compressed block holding the whole
// checked setup of a run (settings, characters, stocks, groups, baseline
// counts and priors, mixture fish and the mixtures they belong to).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "input/control.h"
#include "runfiles/run_record.h"

namespace mixora {

// The uncompressed content of a run control file for the given pieces, every
// section in its stored order. Requires pieces whose array sizes agree with
// their counts (as BuildRunPieces makes them); names longer than their slot
// are cut.
std::vector<uint8_t> EncodeRunControlContent(const RunRecord& pieces);

// Writes the content of pieces to path and compresses it in place. Failure
// to create the file shows "Cannot Open\r\n%s\r\nfor writing". Returns 1 on
// success, else 0.
int WriteRunControlFile(const std::string& path, const RunRecord& pieces, const Interaction& ui);

// Replaces the bytes of a file by one compressed block (count 1) holding
// them. Failure to open shows "Cannot Open\r\n%s\r\nfor Reading". Returns 1
// on success, else 0.
int CompressFileInPlace(const std::string& path, const Interaction& ui);

// Called with the record read back from a new run control file and its path
// (the file conversion window writes text files next to it this way).
using RunFileExtraction = std::function<void(const RunRecord& record, const std::string& path)>;

// Packs a loaded and checked Control (its FileKinds already set) into a run
// control file at path and reads the file back. The file is written even
// when the priors could not be computed. Returns 1 when the written file
// reads back, else 0; extract (when given) runs on the read-back record.
int GenerateRunControlFile(const Interaction& ui, const Control& control, const std::string& path,
                           const RunFileExtraction& extract = {});

}  // namespace mixora
