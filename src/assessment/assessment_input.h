#pragma once
// The baseline fish a self-assessment needs, from whatever the user has: a
// genotype table, a standard Genepop file, a Genepop file with stock labels,
// or a text control file whose baseline is one of those (its stocks, groups
// and settings then apply). A baseline of allele counts cannot be assessed:
// the fish themselves are needed.
#include <string>
#include <vector>

#include "input/control.h"
#include "formats/fish_genotypes.h"

namespace mixora {

struct AssessmentInput {
  FishGenotypes fish;
  RunSettings settings{};     // the control file's, or the importers' defaults
  bool fromControl = false;
  std::string baselinePath;   // the file the fish were read from
  std::vector<std::string> notes;
};

// Reads `path`. popNames is passed to the standard Genepop reader. Returns 1,
// or 0 with `error` naming the file and the problem.
int ReadAssessmentInput(const std::string& path, const std::string& popNames,
                        AssessmentInput& input, std::string& error);

}  // namespace mixora
