#pragma once
// The report runner's entries for the two convergence diagnostics: each call
// is one pass (by population, or one grouping level by region) that reads
// the chains' composition sample files and appends its section to the open
// report file.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"

namespace mixora {

// What the report runner hands one pass.
struct DiagnosticPass {
  const RunRecord* run = nullptr;
  bool byRegion = false;
  int level = 0;                       // grouping level from 0 (by region only)
  int32_t length = 0;                  // L: composition records of the first chain
  int32_t discard = 0;                 // D: leading records Gelman-Rubin leaves out
  std::vector<uint32_t> chainTotals;   // records of every chain; empty: the file headers'
  std::FILE* out = nullptr;            // the report file, opened "wb" by the runner
  Interaction ui;                      // message boxes and progress
  std::function<bool()> aborted;       // polled between rows and records; may pump messages
  // Asked for another file when a chain's composition file cannot be opened
  // (chain index, path tried); "" gives up. Optional.
  std::function<std::string(int chainIndex, const std::string& failedPath)> chooseFile;
  bool showSummary = false;            // Raftery-Lewis: end with the summary message box
};

// Gelman-Rubin pass: refuses runs of fewer than 2 chains or 2 stocks with
// "GelRub requires at least 2 chains" (warning box), loads records D..L-1 of
// every chain and writes the section. Returns 1; 0 on refusal, load failure
// (a message box names the file and the problem), abort or write failure.
int GelRub(const DiagnosticPass& pass);

// Raftery-Lewis pass: for every chain in order reads all its records and
// writes its section; stops at the first chain that fails. Returns 1 when
// every chain was done.
int RafteryLewis(const DiagnosticPass& pass);

}  // namespace mixora
