#include "runfiles/held_records.h"

#include <cstdio>

#include "core/paths.h"
#include "runfiles/block_undo.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_reader.h"

namespace mixora {

HeldRecords CountHeldRecords(const std::string& path, uint64_t enough) {
  HeldRecords held;
  held.undoPending = FileExists(BlockUndoPath(path));
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return held;
  held.exists = true;
  SampleFileHeader header;
  if (CheckSampleMagic(file, header) == 1 && SampleHeaderProblem(header).empty()) {
    held.isSampleFile = true;
    const int64_t size = SampleFileSize(file);
    SampleBlockSpot spot;
    std::string problem;
    while (held.records < enough &&
           StepOverSampleBlock(file, header, size, spot, problem) == BlockWalk::kBlock)
      held.records += spot.header.count;
  }
  std::fclose(file);
  return held;
}

}  // namespace mixora
