#pragma once
// How large a run may be, shared by every reader and writer on its road:
// the control files, the data files, the converters and the run files.
#include <cstddef>

namespace mixora {

// Characters (loci) of one run. Amplicon-sequencing SNP panels of 300 to
// 1000 loci are common; this leaves room for twice the largest.
inline constexpr int kMaxCharacters = 2000;

// Longest text line the readers take. A Genepop individual line of
// kMaxCharacters loci needs a blank and six digits per locus (14,000
// characters) after a name of up to 255 and its comma; the rest is room for
// wider spacing.
inline constexpr std::size_t kMaxTextLineLength = 16383;

}  // namespace mixora
