#pragma once
// The three blocks of a control file (characters, stocks, groups), in the
// text control file layout (kind 3) and the SPAM layout (any other kind).
// Each operation reads the file anew, finds its block from the top, counts
// and measures in a first pass, then fills a fresh block record in a second.
#include <cstdint>
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "core/run_limits.h"
#include "input/control.h"

namespace mixora {

// Held maxima of the blocks.
inline constexpr int kMaxControlCharacters = kMaxCharacters;
inline constexpr int kMaxControlStocks = 1000;
inline constexpr int kMaxBlockNameLength = 255;
// The most alleles a character may declare: a genotype code names at most 999.
inline constexpr int kMaxDeclaredAlleles = 999;

// Reads the character block into `block`. Logs "Characters parsed
// successfully" and returns 0, or logs "Fatal error parsing character block"
// and the flags' text and returns the flags; -1 when the file cannot be opened.
ErrorFlags ParseCharacterBlock(const std::string& path, int32_t kind, CharacterBlock& block,
                               LogBuffer& log);

// Reads the stock block into `block`. The text layout reads Levels and
// NumberOfStocks from `settings` and sets PriorWeightsGiven there (switching
// InformativePrior off without weights, and ChangeSeeds on with it); the SPAM
// layout leaves `settings` alone.
ErrorFlags ParseStockBlock(const std::string& path, int32_t kind, RunSettings& settings,
                           StockBlock& block, LogBuffer& log);

// Reads the group (region) block into `block`.
ErrorFlags ParseGroupBlock(const std::string& path, int32_t kind, GroupBlock& block,
                           LogBuffer& log);

}  // namespace mixora
