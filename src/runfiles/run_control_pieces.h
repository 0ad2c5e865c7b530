#pragma once
// Turning a checked run definition into the pieces a run control file stores:
// only the characters, stocks, groups and fish that take part, the baseline
// rearranged to the run's order, its priors, and the mixtures of the mixture
// file. The pieces are a RunRecord, so a written file read back compares
// field for field with what was packed.
#include <string>
#include <vector>

#include "core/interaction.h"
#include "input/control.h"
#include "runfiles/run_record.h"

namespace mixora {

// Reads one "POP" line: "POP", blanks, the Year, then comma-separated Vial,
// Date, Area, Gear and Desc. texts, each trimmed and cut to its stored field
// (less one byte for the terminating NUL). Missing parts stay empty or 0.
MixtureRecord ParsePopLine(const std::string& line);

// The samples of a mixture file as found on disk: one record per "POP" line
// (first line of the file excepted: it is a Genepop title) and, when the
// individual lines between them could be counted, how many each sample holds.
struct MixtureSamples {
  bool readable = false;
  std::vector<MixtureRecord> records;  // texts and Year only
  std::vector<int> sizes;              // individual lines per "POP" section
};
MixtureSamples ReadMixtureSamples(const std::string& mixturePath);

// Sample number (0-based) of every fish of the mixture. The counts of
// individual lines in the file are used when they add up to the fish read,
// so an empty "POP" section keeps its number; otherwise the first-of-sample
// flags decide. A mixture without samples puts every fish into sample 0.
std::vector<int> AssignFishToSamples(const MixtureData& mixture, const MixtureSamples& samples);

// Builds the pieces from a loaded and checked Control: settings (with
// NumberOfStocks and NumberOfChars set to the stored counts), characters,
// stocks and groups that take part, baseline counts in the run's order,
// priors (a failed prior computation is reported through ui and the pieces
// are built all the same), the mixture's stored and excluded fish and one
// record per sample. The Control must hold all six members; missing ones
// count as empty. Returns 1 when the priors were computed, else 0.
int BuildRunPieces(const Control& control, RunRecord& pieces, const Interaction& ui);

}  // namespace mixora
