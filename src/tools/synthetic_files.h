#pragma once
// A synthetic run written out as the input files a biologist would bring:
// a text control file, a SPAM baseline and a Genepop-layout mixture, which
// run from loading to the reports like any other. For trying the program at
// sizes no file at hand has (hundreds of stocks, thousands of loci).
#include <cstdint>
#include <string>
#include <vector>

#include "sampler/synthetic_run.h"

namespace mixora {

struct SyntheticFileSettings {
  int32_t chains = 4;
  int32_t reps = 2000;
  int32_t saveEvery = 100;
  int32_t numberToKeep = 1000;
  int32_t thinIse = 1;
  int32_t thinSta = 1;
};

// Writes outputName with its extension replaced by "tcf", "bse" and "mix"
// (existing files are replaced); the run's outputs go to the folder
// "output" beside them. The names written go to `written` when given.
// Returns 1 when all three were written, else 0.
int WriteSyntheticRunFiles(const SyntheticRunShape& shape, const SyntheticFileSettings& settings,
                           const std::string& outputName,
                           std::vector<std::string>* written = nullptr);

}  // namespace mixora
