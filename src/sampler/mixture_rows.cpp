#include "sampler/mixture_rows.h"

#include <algorithm>

#include "runfiles/run_control_reader.h"
#include "runfiles/run_file_names.h"
#include "sampler/chain_target.h"
#include "sampler/restart_file.h"

namespace mixora {

const char* MixtureStatusText(int status) {
  switch (status) {
    case kMixtureNotStarted: return "Not Started";
    case kMixturePartial: return "Partial";
    case kMixtureFinished: return "Finished";
    default: return "";
  }
}

MixtureRow ReadMixtureRow(const RunRecord& whole, const std::string& rcfPath, int p,
                          int32_t numberOfReps) {
  MixtureRow row;
  row.number = p;
  if (p < 0 || p >= static_cast<int>(whole.mixtures.size())) return row;
  const MixtureRecord& record = whole.mixtures[static_cast<std::size_t>(p)];
  row.fish = MixtureFishCount(whole, p);
  for (int32_t flags : whole.badFlags)
    if ((static_cast<uint32_t>(flags) & 0xFFFF) == static_cast<uint32_t>(p)) ++row.bad;
  row.year = record.year;
  row.vial = record.vial;
  row.date = record.date;
  row.area = record.area;
  row.gear = record.gear;
  row.desc = record.desc;

  RunRecord names;
  names.controlPath = rcfPath;
  names.runTitle = RunTitleFor(whole.mixtureTitle, p);
  const int chains = whole.settings.NumberOfChains;
  row.target = MixtureTarget(names, chains, numberOfReps);
  for (int c = 0; c < chains; ++c) {
    RestartChainValues values;
    const std::string path = BuildRunFileName(names, c, kNoReport, kNoGroup, kExtRestart);
    const bool saved = ReadRestartChainValues(path, values) == 1;
    const int32_t reached = saved ? values.iteration : 0;
    if (c == 0) {
      row.fewest = reached;
      if (saved) row.records = static_cast<uint32_t>(values.compositionTotal);
    }
    row.fewest = std::min(row.fewest, reached);
    row.iterations = std::max(row.iterations, reached);
  }
  if (row.iterations == 0)
    row.status = kMixtureNotStarted;
  else if (chains > 0 && row.fewest >= row.target)
    row.status = kMixtureFinished;
  else
    row.status = kMixturePartial;
  return row;
}

std::vector<MixtureRow> ReadMixtureRows(const RunRecord& whole, const std::string& rcfPath,
                                        int32_t numberOfReps) {
  std::vector<MixtureRow> rows;
  for (int p = 0; p < whole.mixtureCount; ++p)
    rows.push_back(ReadMixtureRow(whole, rcfPath, p, numberOfReps));
  return rows;
}

}  // namespace mixora
