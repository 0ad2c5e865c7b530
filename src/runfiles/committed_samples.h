#pragma once
// Reading a sample file while its chain may still be writing it. A chain
// appends whole blocks and only then vouches for them (in its restart file;
// the header count is exact once the chain has stopped), so a reader that
// stops at the vouched total and treats a torn last block as "not yet
// written" sees only records the chain has committed and never disturbs it.
#include <cstdint>
#include <string>
#include <vector>

#include "runfiles/sample_file_header.h"

namespace mixora {

// No limit: every whole block in the file is taken.
inline constexpr uint32_t kAllCommittedRecords = 0xFFFFFFFFu;

// What has been read, kept between calls: a later call on the same file
// reads on from the last block it took instead of from the start.
struct CommittedRecords {
  std::string path;
  SampleFileHeader header;
  bool missing = false;      // the file does not exist (yet)
  bool tailPending = false;  // the file ends in a block still being written
  uint32_t records = 0;
  std::vector<uint32_t> values;  // records × header.valuesPerRecord, read as unsigned
  // Where the last block taken begins and the records before it. That block
  // is read again next time: a resumed chain may rewrite it, fuller, in place.
  int64_t lastBlockOffset = 0;
  uint32_t recordsBeforeLastBlock = 0;
};

// Reads the records of the whole blocks of the file, at most
// `vouched` of them. A missing file, a header not yet written, and a last
// block that is torn or does not decode yet (the chain is writing or
// rewriting it in place) are not damage: the records before it are
// returned, with tailPending set (also when the file ends short of the
// vouched records: a chain started afresh may remove its old restart file
// and empty the file just after the caller read that restart file). Returns 1, or 0 with error naming the file
// when it is damaged where a chain never writes: not a sample file, or a bad
// block with a sound block behind it.
int ReadCommittedRecords(const std::string& path, uint32_t vouched, CommittedRecords& out,
                         std::string& error);

}  // namespace mixora
