#pragma once
// The summaries a load shows of a run definition: every keyword value as its
// formatter writes it, the detected file kinds, and the counts of the blocks.
#include <string>
#include <vector>

#include "input/control.h"

namespace mixora {

// One line per keyword of the text table, in its order: "<keyword> = <value>".
std::vector<std::string> FormatSettingsSummary(const RunSettings& settings);

// The control file kind, baseline and mixture formats by name ("Not Found"
// for a file that cannot be opened).
std::vector<std::string> FormatFileKindsSummary(const Control& control);

// Characters (in use, largest allele count, excluded), stocks (count, levels,
// excluded, distinct groups per level) and groups (levels, excluded, groups in
// use per level). Members not read yet show zero counts.
std::vector<std::string> FormatBlocksSummary(const Control& control);

// The "Info:" line for a run whose chains all draw from the same seeds
// (several chains, ChangeSeeds off): such chains run identically. "" when
// the chains are independent.
std::string ChainSeedsInfo(const Control& control);

}  // namespace mixora
