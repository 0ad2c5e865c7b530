#pragma once
// Whether the chain files beside a run control file were computed from what
// it holds now, and belong to it (see runfiles/run_fingerprint.h). Files
// written before fingerprints were kept carry none and are accepted.
#include <cstdint>
#include <string>

#include "runfiles/run_record.h"

namespace mixora {

// Empty when a chain whose restart file recorded these inputs and owner (0
// for none recorded) belongs to `run` (mixture p, read by ReadRunControl)
// and was computed from its inputs; otherwise what is wrong and what to do.
std::string ChainInputsMismatch(uint64_t inputs, uint64_t owner, const RunRecord& run);

// The same for chain c (from 0) of the run, from its restart file and the
// tags in its two sample file headers (missing files are passed over).
// Empty, or "<file>: <what is wrong and what to do>" for the first file
// refused. ownerOnly looks at the owner alone, for a run about to replace
// its chains.
std::string ChainFileInputsProblem(const RunRecord& run, int c, bool ownerOnly = false);

// The first problem of any chain of the run, or empty.
std::string ChainFilesInputsProblem(const RunRecord& run, bool ownerOnly = false);

}  // namespace mixora
