#pragma once
// The baseline and mixture steps of preparing a run, and the count summaries
// shown after them.
#include <string>

#include "core/error_flags.h"
#include "input/control.h"

namespace mixora {

// Reads the baseline named by BaselineFile in the layout of baselineFormat
// (Genepop layouts are first converted to a SPAM baseline written beside
// them, with "_Mixora" in the name) and sums its totals. Ends the log with
// "Baseline Load SUCCESS!!" or "FAIL!!" and returns the read's flags.
// Requires a Control loaded from a control file (members present, formats
// classified).
ErrorFlags LoadBaseline(Control& control);

// Reads the mixture named by MixtureFile in the layout of mixtureFormat
// (GenepopLabel files are converted first, against the baseline) and pairs
// its columns with the characters. Ends the log with "Mixture Load
// SUCCESS!!" or "FAIL!!"; returns the union of the read's and the pairing's
// flags.
ErrorFlags LoadMixture(Control& control);

// Counts of the loaded baseline: stocks, characters, maxAlleles and the
// highest allele position (from 1) with a non-zero count. One "label: value"
// line each.
std::string FormatBaselineSummary(const Control& control);

// Counts of the loaded mixture: fish, bad fish, characters, the largest entry
// of positions and the largest allele position stored in any genotype. Also
// sets the mixture's badCount to the fish whose flag word has a non-zero low
// half.
std::string FormatMixtureSummary(Control& control);

}  // namespace mixora
