#pragma once
// The Raftery-Lewis report: for every chain, and in it every stock (or every
// group of one grouping level), the thinning interval and run length needed
// to estimate a quantile of its proportion to the asked accuracy.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "diagnostics/diagnostic_report.h"

namespace mixora {

// The run's Quantile, Accuracy and Probability settings.
struct RunLengthSettings {
  double quantile = 0.975;
  double accuracy = 0.02;
  double probability = 0.95;
};

// Writes the section of chain chainIndex (0-based): series holds that
// chain's records, one row per variable (series.chains == 1, series.records
// = L). Variables whose proportions sum to at most 1e-6 get no line; a
// variable whose run length cannot be computed gets a line marked "n/a" with
// the reason. suggested receives the largest Total. Returns 1; 0 with
// nothing written when a setting lies outside (0, 1); 0 after "User
// Aborted!!!" when aborted; 0 when writing failed.
int RafteryLewisChain(std::FILE* out, const SampleArrayView& series, int chainIndex,
                      const DiagnosticLayout& layout, const RunLengthSettings& settings,
                      const Interaction& ui, const std::function<bool()>& aborted,
                      int64_t& suggested);

// Fills values with every record of chain chainIndex (row k, record r at
// k * length + r; by region already reduced to group sums) and length with
// the record count. Returns 1, or 0 when the chain cannot be read (having
// told the person why).
using ChainSeriesLoader =
    std::function<int(int chainIndex, std::vector<uint32_t>& values, int& length)>;

// The sections of chains 0 .. chains-1 in order, stopping at the first chain
// that fails. With showSummary and every chain done, a plain message box
// lists "Chain %d: %d Estimates, %d Suggested" for each chain. Returns 1
// when every chain was done.
int WriteRafteryLewisPass(std::FILE* out, int chains, const ChainSeriesLoader& load,
                          const DiagnosticLayout& layout, const RunLengthSettings& settings,
                          const Interaction& ui, const std::function<bool()>& aborted,
                          bool showSummary);

}  // namespace mixora
