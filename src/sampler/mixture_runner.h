#pragma once
// Running whole mixtures of a run control file to the end, as a front end
// without windows does: open a mixture, start its chains, hand each finished
// chain to OnChainFinished, and when the last chain of the mixture has
// finished open the next mixture to run and start its chains, until none is
// left or a stop is requested.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "sampler/run_session.h"

namespace mixora {

struct MixtureRunOptions {
  // Mixtures (from 0) in the order they run; empty means every mixture of
  // the file that has fish taking part in the run (the others are skipped).
  std::vector<int> mixtures;
  // Chains (from 0) to run in each mixture; empty means all.
  std::vector<int> chains;
  bool rerun = false;  // start the chains afresh instead of resuming them
  // The number of reps to run to; 0 keeps the run's. It may not be lower than
  // the run's current number of reps (the smallest of NumberOfReps and the
  // iterations the mixtures' chains have reached).
  int32_t reps = 0;
  // When it becomes non-zero every running chain is asked to stop after its
  // current iteration, and no further mixture is opened.
  // Read relaxed: the flag carries no data, and one more iteration before it
  // is seen does no harm.
  const std::atomic<int>* stopRequested = nullptr;
  // Threads per chain, sharing each iteration's likelihoods and origin
  // weights over disjoint ranges of fish (1 .. kMaxThreadsPerChain). The
  // sample and restart files are the same for every value.
  int32_t threadsPerChain = 1;
  // Milliseconds between progress calls; 0 uses the run's Timer.
  int32_t refreshMs = 0;
  // Called on a chain's thread after each iteration (tests stop chains with it).
  std::function<void(Chain& chain)> afterIteration;
};

// What happened to each mixture that was to run.
struct MixtureOutcome {
  int mixture = 0;              // from 0
  bool opened = false;
  std::vector<int> completed;   // chains that reached the number of reps
  std::vector<int> incomplete;  // requested chains that did not
  // The chain that could not be prepared, which kept the later requested
  // chains from starting, or -1; and whether that was because its restart
  // file was refused.
  int failedChain = -1;
  bool restartRefused = false;
  std::vector<int> notStarted;  // requested chains after failedChain
};

struct MixtureRunOutcome {
  std::vector<MixtureOutcome> mixtures;  // in the order they were opened
  int mixturesRequested = 0;
  // Mixtures (from 0) left out of an every-mixture run because all their
  // fish were left out at load.
  std::vector<int> skipped;
  bool stopped = false;  // a stop was requested
  std::string failure;   // why the run could not go on, if it could not
  int32_t reps = 0;      // the largest number of reps the mixtures' chains ran to
  int32_t chains = 0;    // the run's number of chains per mixture
  // Every requested chain of every requested mixture completed.
  bool AllCompleted() const;
};

// Front-end hooks, each optional, all called on the calling thread.
struct MixtureRunEvents {
  std::function<void(const RunSession& session)> mixtureOpened;  // before its chains start
  std::function<void(const RunSession& session)> tick;           // every refresh interval
  std::function<void(const RunSession& session, int chain)> chainFinished;
  std::function<void(const RunSession& session, const MixtureOutcome& outcome)> mixtureFinished;
};

// Runs the mixtures of the run control file at rcfPath. Messages go through
// ui (which must outlive the call). Returns 1 when every requested chain
// completed, else 0 (outcome says what happened).
int RunMixtures(const std::string& rcfPath, const MixtureRunOptions& options,
                const Interaction& ui, const MixtureRunEvents& events,
                MixtureRunOutcome& outcome);

// Every chain of mixture p (from 0), resumed or rerun as options say, run to
// the end. progress, when given, is called every refresh interval. Returns 1
// when every chain completed.
int RunMixtureToEnd(const std::string& rcfPath, int p, const MixtureRunOptions& options,
                    const Interaction& ui,
                    const std::function<void(const RunSession& session)>& progress);

// True when every chain of mixture p (from 0) of the run control file has
// saved the mixture's target iterations (chain_target.h) in its restart
// file, from the inputs the run control file holds now, so resuming it would
// run nothing; target, when given, receives that target.
bool MixtureAlreadyComplete(const std::string& rcfPath, int p, int32_t* target = nullptr);

}  // namespace mixora
