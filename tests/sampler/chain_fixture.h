#pragma once
// Chains for sampler tests: a scratch folder for their outputs, a recorder of
// the message boxes they raise, and a chain prepared the way a fresh start
// prepares it (arrays, generators, counts, starting proportions, outputs).
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"
#include "runfiles/sample_file_writer.h"
#include "sampler/chain.h"
#include "sampler/gibbs_sampler.h"
#include "sampler/priors.h"
#include "sampler/restart_file.h"
#include "support/temp_folder.h"

namespace mixora::chain_testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    path_ = testing_support::NewTempFolder("sampler").string();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct Box {
  uint32_t type;
  std::string text;
};

// Answers every box with OK (No for questions) and keeps what was shown.
struct MessageRecorder {
  std::vector<Box> boxes;
  Interaction ui;
  MessageRecorder() {
    ui.message = [this](uint32_t type, const std::string& text) {
      boxes.push_back({type, text});
      return DefaultAnswer(type);
    };
  }
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Two stocks, one character of two alleles, three fish: (1,1), (1,2), (2,-).
inline RunRecord TinyRun(const ScratchFolder& folder, int32_t ranGen) {
  RunRecord run;
  RunSettings& set = run.settings;
  set.NumberOfStocks = 2;
  set.NumberOfChars = 1;
  set.Levels = 1;
  set.NumberOfChains = 1;
  set.NumberOfReps = 1000;
  set.Seed1 = 687688;
  set.Seed2 = 788781;
  set.RanGen = ranGen;
  for (int32_t& id : set.StartStock) id = -1;
  set.MaxMissingLoci = 999;
  set.SaveEvery = 100;
  set.ThinIse = 1;
  set.ThinSta = 1;
  SetField(set.Title, "Tiny");
  run.runTitle = "Tiny";
  run.controlPath = folder.File("Tiny.rcf");
  run.maxAlleles = 2;
  run.alleleCount = {2};
  run.charId = {1};
  run.isLocus = {1};
  run.charNames = {"Locus1"};
  run.stockId = {1, 2};
  run.stockNames = {"North", "South"};
  run.groupAt = {{0, 0}};
  run.counts = {8, 2, 3, 7};
  run.allelePrior = {0.5, 0.5};
  run.lambda = {1.0};
  run.beta = {0.5, 0.5};
  run.fishCount = 3;
  run.genotypes = {1, 1, 1, 2, 2, 0};
  run.fishNames = {"Fish1", "Fish2", "Fish3"};
  return run;
}

// A chain of the run, started afresh as a chain thread would start it, but
// with iteration 0 and without its first frequency draw. With outputs, the
// run's sample files and chain log are created beside run.controlPath.
inline std::unique_ptr<Chain> MakeFreshChain(RunRecord& run, const Interaction& ui,
                                             bool withOutputs, int32_t index = 0) {
  auto chain = std::make_unique<Chain>();
  chain->run = &run;
  chain->ui = &ui;
  chain->index = index;
  chain->seed1 = run.settings.Seed1;
  chain->seed2 = run.settings.Seed2;
  chain->endIteration = run.settings.NumberOfReps;
  chain->startStocks = RunStartStocks(run.settings);
  if (AllocateSamplerArrays(*chain) != 1) return nullptr;
  if (withOutputs && OpenChainOutputs(chain->samples, run, index, chain->seed1, chain->seed2,
                                      false, ui) != 0) {
    return nullptr;
  }
  SeedChainGenerators(chain->generators, chain->seed1, chain->seed2, run.settings.RanGen, false);
  ResetAlleleCounts(*chain);
  StartingProportions(run.settings.InformativePrior != 0, run.beta, run.stockId,
                      chain->startStocks, chain->arrays.proportions);
  return chain;
}

// Runs iterations first .. last as the chain loop does.
inline int RunIterations(Chain& chain, int32_t first, int32_t last) {
  for (int32_t t = first; t <= last; ++t) {
    chain.iteration.store(t);
    if (RunIteration(chain) == 0) return 0;
  }
  return 1;
}

// A chain of the run continued from its restart file, as a start without
// "Rerun" continues it: the file read in full, the outputs reopened for
// appending, the generators installed without seeding. nullptr when any
// step fails.
inline std::unique_ptr<Chain> MakeResumedChain(RunRecord& run, const Interaction& ui,
                                               int32_t index = 0) {
  auto chain = std::make_unique<Chain>();
  chain->run = &run;
  chain->ui = &ui;
  chain->index = index;
  chain->seed1 = run.settings.Seed1;
  chain->seed2 = run.settings.Seed2;
  chain->endIteration = run.settings.NumberOfReps;
  chain->startStocks = RunStartStocks(run.settings);
  chain->resume = 1;
  if (AllocateSamplerArrays(*chain) != 1) return nullptr;
  if (TransferRestartFile(*chain, kRestartRead, kRestartFull) == 0) return nullptr;
  if (OpenChainOutputs(chain->samples, run, index, chain->seed1, chain->seed2, true, ui) != 0) {
    return nullptr;
  }
  SeedChainGenerators(chain->generators, chain->seed1, chain->seed2, run.settings.RanGen, true);
  ResetAlleleCounts(*chain);
  return chain;
}

inline void CloseOutputs(Chain& chain) {
  CloseChainSamples(chain.samples);
  if (chain.samples.chainLog != nullptr) std::fclose(chain.samples.chainLog);
  chain.samples.chainLog = nullptr;
}

// The end of a chain thread: the last restart file (with the pending
// samples), then the sample files closed. Returns the restart file result.
inline int EndChain(Chain& chain) {
  const int result = TransferRestartFile(chain, kRestartWrite, kRestartFull);
  CloseOutputs(chain);
  return result;
}

}  // namespace mixora::chain_testing
