#pragma once
// How often each mixture individual was assigned to each stock over the
// kept records of the chains' stock assignment sample files. Shared by the
// individual assignment report and the ROLLEST column of the stock
// composition report.
#include <cstdint>
#include <string>
#include <vector>

#include "reports/report_job.h"
#include "runfiles/sample_file_reader.h"

namespace mixora {

struct AssignmentCell {
  uint32_t count = 0;
  uint32_t individual = 0;
  uint32_t stock = 0;
};

// F × S cells, cell (i, s) at i * S + s.
struct AssignmentTally {
  uint32_t individuals = 0;  // F
  uint32_t stocks = 0;       // S
  std::vector<AssignmentCell> cells;
  uint64_t records = 0;      // assignment records added, over all chains

  AssignmentCell& At(uint32_t i, uint32_t s) {
    return cells[static_cast<std::size_t>(i) * stocks + s];
  }
  const AssignmentCell& At(uint32_t i, uint32_t s) const {
    return cells[static_cast<std::size_t>(i) * stocks + s];
  }
};

// Sizes the tally for the run (zero counts; every cell knows its individual
// and stock). Returns 0 when it cannot be allocated.
int ResetAssignmentTally(const RunRecord& run, AssignmentTally& tally);

// The stock assignment sample file of a chain (from 0).
std::string AssignmentFilePath(const RunRecord& run, int chain);

// Adds the kept records of one chain, whose assignment file is open in
// reader: AssignmentDiscard(job) records are passed over and the rest of the
// chain's records are added. A file whose records do not hold one stock of
// the run per mixture individual is refused. Returns 1, or 0 with error set
// (also when the report was aborted, with error "Stopped").
int AddChainAssignments(ReportJob& job, SampleFileReader& reader, int chain,
                        AssignmentTally& tally, std::string& error);

// Fills the tally from every chain in order. A file that cannot be opened or
// read shows its message ("Cannot Open %s", or what is wrong) and ends the
// tally with 0; an abort ends it with 0 silently.
int TallyChains(ReportJob& job, AssignmentTally& tally);

// TallyChains, then adds each stock's total count to column `column` of the
// row of that stock, or by region of the row of its group at the current
// level (rows of `stride` doubles). Nothing is added when the tally failed.
// Returns the tally's result.
int TallyAssignments(ReportJob& job, double* rows, int column, int stride, bool byRegion);

}  // namespace mixora
