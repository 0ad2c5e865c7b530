#pragma once
// The run the binary-file targets read against, and the chain that writes
// their seed files: small enough that one execution takes microseconds, big
// enough that every section of every file has several entries.
#include <memory>
#include <string>

#include "core/interaction.h"
#include "runfiles/run_record.h"
#include "runfiles/sample_file_writer.h"
#include "sampler/chain.h"
#include "sampler/gibbs_sampler.h"
#include "sampler/generator_handle.h"
#include "sampler/priors.h"
#include "sampler/restart_file.h"
#include "sampler/synthetic_run.h"

namespace mixora::fuzzing {

inline RunRecord FixtureRun(const std::string& folder) {
  SyntheticRunShape shape;
  shape.stocks = 4;
  shape.characters = 3;
  shape.maxAlleles = 4;
  shape.varyAlleleCounts = true;
  shape.fish = 6;
  shape.baselineFishPerStock = 20;
  RunRecord run = MakeSyntheticRun(shape);
  run.settings.NumberOfChains = 1;
  run.settings.NumberOfReps = 400;
  run.settings.SaveEvery = 100;
  run.settings.NumberToKeep = 100;
  SetField(run.settings.Title, "Fuzz");
  run.runTitle = "Fuzz";
  run.controlPath = folder + "/Fuzz.rcf";
  return run;
}

// A chain of the run as a fresh start prepares it, or as a resume does
// (restart file read in full, outputs appended). Null when a step fails.
inline std::unique_ptr<Chain> FixtureChain(RunRecord& run, const Interaction& ui, bool resume,
                                           bool withOutputs) {
  auto chain = std::make_unique<Chain>();
  chain->run = &run;
  chain->ui = &ui;
  chain->seed1 = run.settings.Seed1;
  chain->seed2 = run.settings.Seed2;
  chain->endIteration = run.settings.NumberOfReps;
  chain->startStocks = RunStartStocks(run.settings);
  chain->resume = resume ? 1 : 0;
  if (AllocateSamplerArrays(*chain) != 1) return nullptr;
  if (resume && TransferRestartFile(*chain, kRestartRead, kRestartFull) == 0) return nullptr;
  if (withOutputs &&
      OpenChainOutputs(chain->samples, run, 0, chain->seed1, chain->seed2, resume, ui) != 0) {
    return nullptr;
  }
  SeedChainGenerators(chain->generators, chain->seed1, chain->seed2, run.settings.RanGen, resume);
  ResetAlleleCounts(*chain);
  if (!resume) {
    StartingProportions(run.settings.InformativePrior != 0, run.beta, run.stockId,
                        chain->startStocks, chain->arrays.proportions);
  }
  return chain;
}

}  // namespace mixora::fuzzing
