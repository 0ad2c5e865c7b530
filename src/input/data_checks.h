#pragma once
// The checks that hold the control file, the baseline and the mixture of a
// run definition against each other. Each logs what it finds into the
// Control's log, marks the items that must stay out of the run and returns
// error flags; messages beginning with "Info:" never fail a check.
#include <cstdint>

#include "core/error_flags.h"
#include "input/control.h"

namespace mixora {

// NumberOfChars against the characters in use. Mismatch: "Values not the same".
ErrorFlags CheckCharacterCount(Control& control);

// NumberOfStocks against the stocks in use, Levels against the stock lines'
// levels ("Values not the same"), and every StartStock ID up to the first -1
// against the stock IDs ("Invalid Starting StockID").
ErrorFlags CheckStockCount(Control& control);

// Levels against the groups' highest level, every stock's group at every
// level against the groups, and every group against the stocks ("Invalid
// level" for each group missing or unused).
ErrorFlags CheckGrouping(Control& control);

// The three checks above, in order; the union of their flags.
ErrorFlags CheckControlCounts(Control& control);

// Stock, character and allele checks of a loaded baseline, all three always
// run. Rewrites the baseline's charId to the control file's IDs (-1 where no
// control character matches) and flags stocks and characters missing from it
// or never observed. Ends the log with "Baseline check SUCCEEDED!!" or
// "FAILED!!". Needs SumBaselineTotals to have run.
ErrorFlags CheckBaseline(Control& control);

// Checks every fish of a loaded, resolved mixture against the baseline.
// When more than a few of the scored gene copies are alleles no usable stock
// shows (see MiscodedAlleles), it logs one line naming the file and the
// loci worst hit and fails with 0x10 at once. Otherwise such alleles are
// erased (DropFish off) or exclude the fish (DropFish on, 0x10), fish
// without alleles and fish with too many missing loci are flagged, logged
// as "Info:" (with file and line when known) and left out of the run, and
// duplicate fish are reported. The result holds the bits 0x8 and 0x10; the
// check fails only on 0x10.
ErrorFlags CheckMixture(Control& control);

// Whether any stock in use that the baseline holds has a non-zero count of
// allele `position` (0-based) of the character of mixture column `column`.
bool AlleleSeenInBaseline(const Control& control, int column, int position);

// Logs every pair of fish of one sample with the same genotypes (equal
// CRC-32 of their genotype pairs) as "Info:"; returns the number of pairs.
int FindDuplicateFish(Control& control);

}  // namespace mixora
