#pragma once
// What a chain's files were computed from. A run control file written again
// from changed inputs keeps its name, and chains resumed or reported from it
// would mix the old data's samples with the new data's; two run control
// files whose mixture titles share their first 8 characters name their
// outputs alike in one folder. The restart file and the sample file headers
// therefore carry a fingerprint of the data the draws depend on, and the
// restart file a tag of the run control file that owns the chain.
#include <cstdint>
#include <string>

#include "runfiles/run_record.h"

namespace mixora {

// A hash of what the draws of mixture p's chains depend on, for a record read
// by ReadRunControl: the settings that change the draws (seeds, generator,
// start stocks, thinning, missing-loci limit, priors), the characters'
// allele counts, the stock identifiers, the baseline counts, the priors and
// the genotypes of the mixture's fish. Paths, titles, names, groupings, the
// number of reps and chains and report settings are left out: they change no
// draw. Never 0, which marks files written without a fingerprint.
uint64_t RunInputsFingerprint(const RunRecord& run);

// The 32 bits of a fingerprint a sample file header has room for. Never 0.
uint32_t SampleInputsTag(uint64_t fingerprint);

// A tag of the run control file that owns a run's outputs: a hash of its
// file name without the folder, so a run folder may be moved or copied
// whole. Never 0.
uint64_t RunOwnerTag(const std::string& rcfPath);

// The fingerprint as 16 hexadecimal digits, for messages.
std::string FingerprintText(uint64_t fingerprint);

}  // namespace mixora
