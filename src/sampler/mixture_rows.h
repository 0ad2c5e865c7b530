#pragma once
// What a front end lists for every mixture of a run control file: its fish,
// its bad fish, the records and iterations its chains have saved, and
// whether it has been run, read from the run control file and the chains'
// restart files without opening the mixture for analysis.
#include <cstdint>
#include <string>
#include <vector>

#include "runfiles/run_record.h"

namespace mixora {

enum MixtureStatus : int {
  kMixtureNotStarted = 0,
  kMixturePartial = 1,
  kMixtureFinished = 2,
};

// "Not Started", "Partial", "Finished".
const char* MixtureStatusText(int status);

struct MixtureRow {
  int number = 0;          // from 0
  int32_t fish = 0;        // fish taking part in the run
  int32_t bad = 0;         // fish left out at load
  uint32_t records = 0;    // composition records the first chain has saved
  int32_t iterations = 0;  // the largest iteration any chain has saved
  int32_t fewest = 0;      // the smallest (0 when a chain has saved none)
  int32_t target = 0;      // the iteration its chains run to
  int status = kMixtureNotStarted;
  int32_t year = 0;
  std::string vial, date, area, gear, desc;
  bool marked = false;
};

// The row of mixture p (from 0) of `whole`, a record read by ReadNewControl
// from the run control file at rcfPath. Its target is the mixture's own
// (chain_target.h: the largest end any of its chains has been given), or
// numberOfReps (the run's, or a larger one the user asked for) if larger;
// the mixture is finished when every chain has reached it.
MixtureRow ReadMixtureRow(const RunRecord& whole, const std::string& rcfPath, int p,
                          int32_t numberOfReps);

// Every mixture's row.
std::vector<MixtureRow> ReadMixtureRows(const RunRecord& whole, const std::string& rcfPath,
                                        int32_t numberOfReps);

}  // namespace mixora
