#include "sampler/chain_target.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

#include "runfiles/run_file_names.h"
#include "runfiles/sample_block.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// The head of a restart file as far as its chain values: magic, 24 bytes,
// then iteration and end iteration.
void WriteRestartHead(const fs::path& path, int32_t iteration, int32_t endIteration) {
  std::vector<char> bytes(56, 0);
  std::memcpy(bytes.data(), mixora::kSampleFileMagic, mixora::kMagicSize);
  std::memcpy(bytes.data() + 32, &iteration, 4);
  std::memcpy(bytes.data() + 36, &endIteration, 4);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An extension given to some chains and stopped part-way must stay the
// target of the whole mixture, in whatever front end reads it next; a chain
// without a restart file, or a smaller run setting, does not lower it.
TEST(MixtureTarget, IsTheLargestEndAnyChainOfTheMixtureWasGiven) {
  struct Ends {
    std::optional<int32_t> first, second;  // end iteration in each chain's restart file
  };
  struct Case {
    int32_t reps;
    Ends ends;
    int32_t target;
  } cases[] = {
      {400, {}, 400},
      {400, {400, 400}, 400},
      {400, {800, 400}, 800},      // one chain extended, the other stopped before it saved
      {400, {std::nullopt, 800}, 800},
      {1000, {800, 800}, 1000},    // the run setting raised since
  };
  mixora::testing_support::ScopedTempFolder folder("mixture_target");
  mixora::RunRecord names;
  names.controlPath = (folder.path() / "run.rcf").string();
  names.runTitle = "Coho_POP_01";
  for (const Case& c : cases) {
    for (int chain = 0; chain < 2; ++chain) {
      const fs::path rst = mixora::BuildRunFileName(names, chain, mixora::kNoReport,
                                                    mixora::kNoGroup, mixora::kExtRestart);
      fs::remove(rst);
      const std::optional<int32_t>& end = chain == 0 ? c.ends.first : c.ends.second;
      if (end) WriteRestartHead(rst, *end / 2, *end);
    }
    EXPECT_EQ(mixora::MixtureTarget(names, 2, c.reps), c.target) << "reps " << c.reps;
  }
}

}  // namespace
