#pragma once
// Leave-one-out self-assignment of the fish of a baseline: each fish's own
// gene copies are taken out of its stock's counts, and its probability of
// origin from every stock follows from the posterior predictive of each
// stock's allele frequencies (genotype_likelihood.h), with a flat prior over
// stocks. The summary tells, per stock and per group at every level, how
// many fish there are, what share of them the top probability puts back in
// their own stock or group, and the mean probability of their own.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/fish_genotypes.h"

namespace mixora {

// One stock or group.
struct SelfAssignmentRow {
  std::string name;
  int32_t fish = 0;
  double shareOwn = 0.0;  // share of its fish whose top stock/group is their own
  double meanOwn = 0.0;   // mean probability of their own stock/group
};

// The stocks (level "stock") or the groups of one grouping level.
struct SelfAssignmentLevel {
  std::string level;  // "stock", or "group level %d"
  std::vector<SelfAssignmentRow> rows;
  // Fish of true unit t whose top unit is u: [t * rows + u].
  std::vector<int32_t> confusion;
};

struct SelfAssignment {
  std::vector<double> posterior;  // [f * S + s]
  std::vector<SelfAssignmentLevel> levels;
};

// allelePrior [c * A + k], A the largest allele count of the set; empty uses
// 1/K_c. The top of tied probabilities is the first stock or group.
SelfAssignment AssessSelfAssignment(const FishGenotypes& fish,
                                    const std::vector<double>& allelePrior);

// The text report and the tidy tables (headered, comma-separated, no
// padding): the summary rows, and the confusion counts.
std::string FormatSelfAssignmentText(const SelfAssignment& result, const std::string& source,
                                     const std::string& priorText);
std::string FormatSelfAssignmentCsv(const SelfAssignment& result);
std::string FormatConfusionCsv(const SelfAssignment& result);

}  // namespace mixora
