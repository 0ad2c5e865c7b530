#pragma once
// How many records a chain's sample file really holds, for comparing with
// the totals its restart file counts. Only block headers are walked (the
// compressed data are skipped), so a finished chain of any length is
// checked in a moment.
#include <cstdint>
#include <string>

namespace mixora {

struct HeldRecords {
  bool exists = false;
  bool isSampleFile = false;  // opens with the sample file magic and a usable header
  // A crash during an in-place block rewrite left an undo file; the next
  // resume puts the old block back, so the count read now may be short.
  bool undoPending = false;
  uint64_t records = 0;  // records in whole blocks from the start, counted up to `enough`
};

// Counts the records of the whole blocks at the start of the sample file,
// stopping once `enough` are counted or at the first block that is torn or
// does not fit the header.
HeldRecords CountHeldRecords(const std::string& path, uint64_t enough);

}  // namespace mixora
