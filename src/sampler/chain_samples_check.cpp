#include "sampler/chain_samples_check.h"

#include "core/string_format.h"
#include "runfiles/held_records.h"
#include "runfiles/run_file_names.h"

namespace mixora {

MissingSamples FindMissingSamples(const RunRecord& run, int chainIndex, uint32_t assignmentTotal,
                                  uint32_t compositionTotal) {
  MissingSamples missing;
  missing.restartPath = BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, kExtRestart);
  struct File {
    int extension;
    uint32_t counted;
  } files[] = {{kExtAssignments, assignmentTotal}, {kExtComposition, compositionTotal}};
  for (const File& f : files) {
    if (f.counted == 0) continue;
    const std::string path = BuildRunFileName(run, chainIndex, kNoReport, kNoGroup, f.extension);
    const HeldRecords held = CountHeldRecords(path, f.counted);
    if (held.undoPending || (held.isSampleFile && held.records >= f.counted)) continue;
    missing.samplePath = path;
    missing.counted = f.counted;
    if (!held.exists)
      missing.holds = "is missing";
    else if (!held.isSampleFile)
      missing.holds = "is empty or not a sample file";
    else
      missing.holds = StringPrintf("holds only %llu", static_cast<unsigned long long>(held.records));
    break;
  }
  return missing;
}

std::string DescribeMissingSamples(int chainIndex, const MissingSamples& missing) {
  return StringPrintf(
      "The restart file of chain %d\r\n%s\r\ncounts %u records, but the sample file\r\n%s\r\n"
      "%s.\r\nThe chain can neither continue nor count as finished without them. Start it "
      "afresh (run --rerun, or the Rerun box of the desktop) to replace its files.",
      chainIndex + 1, missing.restartPath.c_str(), missing.counted, missing.samplePath.c_str(),
      missing.holds.c_str());
}

std::string MissingSamplesLine(const MissingSamples& missing) {
  if (missing.holds.rfind("holds only ", 0) == 0)
    return StringPrintf("%s %s of the %u records %s counts", missing.samplePath.c_str(),
                        missing.holds.c_str(), missing.counted, missing.restartPath.c_str());
  return StringPrintf("%s %s, but %s counts %u records in it", missing.samplePath.c_str(),
                      missing.holds.c_str(), missing.restartPath.c_str(), missing.counted);
}

}  // namespace mixora
