#include "sampler/mixture_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "runfiles/run_control_reader.h"
#include "runfiles/run_file_names.h"
#include "sampler/run_opening.h"
#include "sampler/chain_inputs.h"
#include "sampler/chain_runner.h"
#include "sampler/chain_samples_check.h"
#include "sampler/chain_target.h"
#include "sampler/restart_file.h"

namespace mixora {
namespace {

using Clock = std::chrono::steady_clock;

std::string Format(const char* format, int a, int b) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// The largest iteration any chain of mixture p has saved in its restart file.
int32_t MixtureIterations(const RunRecord& run, int p) {
  RunRecord names;
  names.controlPath = run.controlPath;
  names.runTitle = RunTitleFor(run.mixtureTitle, p);
  int32_t reached = 0;
  for (int c = 0; c < run.settings.NumberOfChains; ++c) {
    RestartChainValues values;
    const std::string path = BuildRunFileName(names, c, kNoReport, kNoGroup, kExtRestart);
    if (ReadRestartChainValues(path, values) == 1) reached = std::max(reached, values.iteration);
  }
  return reached;
}

// A chain completed when it reached the number of reps without its last
// phase failing (a failed chain keeps the phase it failed in).
bool ChainCompleted(const Chain& chain, int32_t reps) {
  const int32_t phase = chain.phase.load(std::memory_order_relaxed);
  const bool failed = phase >= kPhaseIntVal && phase <= kPhasePreExtending;
  return chain.iteration.load(std::memory_order_relaxed) >= reps && !failed &&
         !chain.restartRefused;
}

class Driver {
 public:
  Driver(const std::string& rcfPath, const MixtureRunOptions& options, const Interaction& ui,
         const MixtureRunEvents& events, MixtureRunOutcome& outcome)
      : path_(rcfPath), options_(options), ui_(ui), events_(events), outcome_(outcome) {
    session_.afterIteration = options.afterIteration;
  }

  int Run() {
    outcome_ = MixtureRunOutcome{};
    mixtures_ = options_.mixtures;
    if (mixtures_.empty() && !ListMixturesWithFish()) return Finish();
    if (!Open(mixtures_[0])) return Finish();
    outcome_.mixturesRequested = static_cast<int>(mixtures_.size());
    if (!SettleReps() || !CheckChains()) return Finish();
    next_ = 1;
    Start();
    Loop();
    return Finish();
  }

 private:
  // Every mixture of the file, less those whose fish were all left out at
  // load: one such sample must not keep the others from running.
  bool ListMixturesWithFish() {
    std::unique_ptr<RunRecord> whole = ReadNewControl(path_, ui_);
    if (whole == nullptr) {
      outcome_.failure = "cannot read " + path_;
      return false;
    }
    for (int p = 0; p < whole->mixtureCount; ++p) {
      if (MixtureFishCount(*whole, p) > 0)
        mixtures_.push_back(p);
      else
        outcome_.skipped.push_back(p);
    }
    if (mixtures_.empty()) {
      outcome_.failure = "no mixture of " + path_ + " has fish that take part in the run";
      return false;
    }
    return true;
  }

  bool Open(int p) {
    MixtureOutcome mixture;
    mixture.mixture = p;
    outcome_.mixtures.push_back(std::move(mixture));
    // Later mixtures reopen the same file, keeping the number of reps.
    const std::string path = session_.run == nullptr ? path_ : std::string();
    // Set before the opening, whose restart-file probe a rerun skips and
    // which settles the number of reps.
    session_.rerun = options_.rerun;
    session_.requestedReps = options_.reps;
    if (OpenRun(session_, ui_, path, p) == nullptr) {
      outcome_.failure = "cannot open mixture " + std::to_string(p + 1) + " of " + path_;
      return false;
    }
    outcome_.mixtures.back().opened = true;
    outcome_.reps = std::max(outcome_.reps, session_.numberOfReps);
    evaluated_ = false;
    started_ = false;
    return true;
  }

  // A number of reps asked for, checked once for the run; the opening has
  // already raised each mixture's number of reps to it.
  bool SettleReps() {
    const RunRecord& run = *session_.run;
    if (options_.reps > 0) {
      std::vector<int32_t> reached;
      for (int p : mixtures_) reached.push_back(MixtureIterations(run, p));
      const int32_t current = CurrentNumberOfReps(run.settings.NumberOfReps, reached);
      if (!AcceptNumberOfReps(options_.reps, current)) {
        outcome_.failure = Format("the number of reps %d is below the current number of reps %d",
                                  options_.reps, current);
        if (options_.reps > kMaxNumberOfReps)
          outcome_.failure = Format("the number of reps %d is above the largest allowed, %d",
                                    options_.reps, kMaxNumberOfReps);
        return false;
      }
    }
    outcome_.chains = run.settings.NumberOfChains;
    return true;
  }

  bool CheckChains() {
    const int count = session_.run->settings.NumberOfChains;
    for (int c : options_.chains) {
      if (c < 0 || c >= count) {
        outcome_.failure = Format("chain %d: the run has %d chains", c + 1, count);
        return false;
      }
    }
    return true;
  }

  std::vector<int> Requested() const {
    if (!options_.chains.empty()) return options_.chains;
    std::vector<int> all;
    for (int c = 0; c < static_cast<int>(session_.chains.size()); ++c) all.push_back(c);
    return all;
  }

  void Start() {
    if (events_.mixtureOpened) events_.mixtureOpened(session_);
    started_ = true;
    session_.rerun = options_.rerun;
    session_.threadsPerChain = options_.threadsPerChain;
    StartChains(session_, Requested());
    MixtureOutcome& mixture = outcome_.mixtures.back();
    mixture.failedChain = session_.failedChain;
    if (mixture.failedChain >= 0) {
      mixture.restartRefused = session_.chains[mixture.failedChain]->restartRefused;
      const std::vector<int> requested = Requested();
      bool after = false;
      for (int c : requested) {
        if (after) mixture.notStarted.push_back(c);
        after = after || c == mixture.failedChain;
      }
    }
  }

  bool StopAsked() const {
    return options_.stopRequested != nullptr &&
           options_.stopRequested->load(std::memory_order_relaxed) != 0;
  }

  void Evaluate() {
    if (evaluated_ || session_.run == nullptr || outcome_.mixtures.empty()) return;
    evaluated_ = true;
    MixtureOutcome& mixture = outcome_.mixtures.back();
    for (int c : Requested()) {
      const Chain* chain = c < static_cast<int>(session_.chains.size())
                               ? session_.chains[c].get()
                               : nullptr;
      if (chain != nullptr && ChainCompleted(*chain, session_.numberOfReps))
        mixture.completed.push_back(c);
      else
        mixture.incomplete.push_back(c);
    }
    if (started_ && events_.mixtureFinished) events_.mixtureFinished(session_, mixture);
  }

  void Loop() {
    const int32_t timer = options_.refreshMs > 0 ? options_.refreshMs : session_.run->settings.Timer;
    const auto refresh = std::chrono::milliseconds(timer > 0 ? timer : 1000);
    const auto wait = std::min<std::chrono::milliseconds>(refresh, std::chrono::milliseconds(100));
    auto lastTick = Clock::now();
    for (;;) {
      if (!outcome_.stopped && StopAsked()) {
        outcome_.stopped = true;
        AbortChains(session_, 0, static_cast<int>(session_.chains.size()), false);
      }
      ChainNotice notice;
      const bool got = TakeNotice(session_.notices, notice, wait);
      if (got && notice.kind == kChainFinishedNotice) {
        OnChainFinished(session_, notice.chain);
        if (events_.chainFinished) events_.chainFinished(session_, notice.chain);
      } else if (got && notice.kind == kMixtureFinishedNotice) {
        Evaluate();
        if (outcome_.stopped || StopAsked() || next_ >= mixtures_.size()) break;
        if (!Open(mixtures_[next_++])) break;
        Start();
      }
      if (events_.tick && Clock::now() - lastTick >= refresh) {
        events_.tick(session_);
        lastTick = Clock::now();
      }
      if (!got && session_.liveThreads == 0) break;
    }
  }

  int Finish() {
    Evaluate();
    CloseRun(session_);
    return outcome_.AllCompleted() ? 1 : 0;
  }

  std::string path_;
  const MixtureRunOptions& options_;
  const Interaction& ui_;
  const MixtureRunEvents& events_;
  MixtureRunOutcome& outcome_;
  RunSession session_;
  std::vector<int> mixtures_;
  std::size_t next_ = 0;
  bool evaluated_ = false;
  bool started_ = false;
};

}  // namespace

bool MixtureRunOutcome::AllCompleted() const {
  if (!failure.empty() || stopped || mixtures.empty()) return false;
  if (static_cast<int>(mixtures.size()) < mixturesRequested) return false;
  for (const MixtureOutcome& m : mixtures)
    if (!m.opened || !m.incomplete.empty()) return false;
  return true;
}

int RunMixtures(const std::string& rcfPath, const MixtureRunOptions& options,
                const Interaction& ui, const MixtureRunEvents& events,
                MixtureRunOutcome& outcome) {
  Driver driver(rcfPath, options, ui, events, outcome);
  return driver.Run();
}

int RunMixtureToEnd(const std::string& rcfPath, int p, const MixtureRunOptions& options,
                    const Interaction& ui,
                    const std::function<void(const RunSession& session)>& progress) {
  MixtureRunOptions one = options;
  one.mixtures = {p};
  MixtureRunEvents events;
  events.tick = progress;
  MixtureRunOutcome outcome;
  return RunMixtures(rcfPath, one, ui, events, outcome);
}

bool MixtureAlreadyComplete(const std::string& rcfPath, int p, int32_t* target) {
  std::unique_ptr<RunRecord> run = ReadRunControl(Interaction{}, rcfPath, p);
  if (!run || run->settings.NumberOfChains < 1) return false;
  // Chains of other inputs, or of another run control file, are not this
  // run's answer however far they got.
  if (!ChainFilesInputsProblem(*run).empty()) return false;
  const int32_t reps = MixtureTarget(*run, run->settings.NumberOfChains, run->settings.NumberOfReps);
  if (target != nullptr) *target = reps;
  for (int c = 0; c < run->settings.NumberOfChains; ++c) {
    RestartChainValues values;
    const std::string path = BuildRunFileName(*run, c, kNoReport, kNoGroup, kExtRestart);
    if (ReadRestartChainValues(path, values) != 1 || values.iteration < reps) return false;
    // A restart file whose samples are gone is no finished chain; the run
    // that follows says which file and what to do.
    if (!FindMissingSamples(*run, c, static_cast<uint32_t>(values.assignmentTotal),
                            static_cast<uint32_t>(values.compositionTotal))
             .samplePath.empty())
      return false;
  }
  return true;
}

}  // namespace mixora
