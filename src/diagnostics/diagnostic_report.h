#pragma once
// Pieces shared by the writers of the convergence diagnostic reports.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/interaction.h"

namespace mixora {

// Composition samples as the diagnostics read them: value r of chain c in
// row k at values[(k * chains + c) * records + r], a proportion times
// 100,000,000. A single chain's series is the case chains == 1.
struct SampleArrayView {
  const uint32_t* values = nullptr;
  int rows = 0;
  int chains = 0;
  int records = 0;

  const uint32_t* Row(int k, int c = 0) const {
    return values + (static_cast<std::size_t>(k) * chains + c) * records;
  }
};

// What a report section names besides its numbers.
struct DiagnosticLayout {
  std::vector<std::string> rowNames;    // stock names, or the group names of the level
  std::vector<std::string> chainPaths;  // composition sample file of every chain
  int level = -1;                       // grouping level from 0 by region; -1 by population
  bool ByRegion() const { return level >= 0; }
};

// Progress of a pass; nothing for an empty total, so no caller divides by 0.
void ReportPassProgress(const Interaction& ui, const std::string& caption, int64_t done,
                        int64_t total);

// printf into a report file; failures show up in ferror(out).
void ReportPrintf(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The chain line of a section: "Level %d " by region, the separator,
// "Chain %d: %s", " - Grouped" by region (no line end).
void WriteChainLabel(std::FILE* out, const DiagnosticLayout& layout, int chainIndex,
                     const char* separator);

}  // namespace mixora
