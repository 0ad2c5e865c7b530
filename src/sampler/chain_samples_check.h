#pragma once
// A restart file vouches for the samples written before it. If those
// samples are gone (a sample file emptied, cut short or replaced while the
// restart file stayed), resuming would append to a file that lacks the
// records the totals count, and a finished chain would be reported from
// records it no longer has. Every path that continues a chain or counts it
// as finished asks this first.
#include <cstdint>
#include <string>

#include "runfiles/run_record.h"

namespace mixora {

struct MissingSamples {
  std::string restartPath;
  std::string samplePath;  // empty when both sample files hold what is counted
  uint32_t counted = 0;    // records the restart file counts in that file
  std::string holds;       // what the file holds instead, e.g. "holds only 0"
};

// Compares both sample files of the chain with the record totals of its
// restart file. A file with an undo file beside it passes: the next resume
// mends its torn last block before anything is appended.
MissingSamples FindMissingSamples(const RunRecord& run, int chainIndex, uint32_t assignmentTotal,
                                  uint32_t compositionTotal);

// The message box text for chain chainIndex (from 0): both files, what the
// one holds, and how to start the chain afresh.
std::string DescribeMissingSamples(int chainIndex, const MissingSamples& missing);

// One line for listings: "<sample file> holds only 0 of the 400 records <restart file> counts".
std::string MissingSamplesLine(const MissingSamples& missing);

}  // namespace mixora
