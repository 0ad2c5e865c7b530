#pragma once
// The mixture simulation control file (".mcf") and the state of one run of the
// simulator: which baseline, which characters, which stock proportions, how
// many mixtures and fish, and the pool the fish are drawn from.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/log_buffer.h"
#include "core/run_limits.h"
#include "input/keyword_table.h"
#include "sampler/mt19937.h"

namespace mixora {

inline constexpr int kMaxSimulationChars = kMaxCharacters;

// The keyword values of a mixture simulation control file. Text fields are
// zero-terminated; the title fits the Title of the text control file written
// from it, the file names a path.
struct SimulationSettings {
  char RunTitle[80];
  char BaseFile[260];
  char MixFileOut[260];
  int32_t Year;
  int32_t NumMixtures;
  int32_t NumFish;
  int32_t NumSamples;
  int32_t Seed;
  int32_t Replacement;  // 1: a pool record may be written more than once
};

// One run of the simulator. ReadSimulationControl fills the settings and the
// two blocks; the simulation itself fills the baseline indexes, the pool
// counts and uses the urn, the pool and the generator.
struct Simulation {
  SimulationSettings settings{};
  std::string controlPath;

  std::vector<std::string> charNames;  // [C] as the character block gives them
  std::vector<int32_t> baseChar;       // [C] index of the same-named baseline character

  std::vector<int32_t> stockId;     // [K] in block order
  std::vector<double> proportion;   // [K] divided by their sum
  std::vector<int32_t> poolCount;   // [K]
  std::vector<int32_t> baseStock;   // [K] index of the baseline stock with that ID

  std::vector<int32_t> urn;  // allele positions of one stock and character, one per gene copy

  // The pool: NumSamples records of stock ID, availability mark (0: used up)
  // and for each character a pair of allele positions, smaller first.
  std::vector<int32_t> poolStock;  // [R]
  std::vector<int32_t> poolMark;   // [R]
  std::vector<int32_t> poolPairs;  // [(r * C + c) * 2 + j]

  Mt19937State generator;
};

// The keyword table of the mixture simulation control file (separator "=").
const KeywordSpec* SimulationKeywordTable();
std::size_t SimulationKeywordCount();

// Reads and checks a mixture simulation control file: the header line
// "Mixora simulator" (comment after "!" cut, any case), the keyword lines,
// the "Chars" block (at most 200 names) and the "StockProp" block (stock ID
// and proportion per line; proportions divided by their sum). Logs every
// problem and, for the keywords, "All keywords found and values in range" or
// the text of the error flags. Returns the simulation, or null on failure.
std::unique_ptr<Simulation> ReadSimulationControl(const std::string& path, LogBuffer& log);

}  // namespace mixora
