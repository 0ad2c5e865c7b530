#include "sampler/chain_progress.h"

#include <algorithm>

#include "sampler/chain_clock.h"
#include "sampler/chain_runner.h"

namespace mixora {

std::string ChainStateText(bool liveThread, int32_t runState, int32_t iteration,
                           int32_t endIteration) {
  if (liveThread) return runState == kChainPaused ? "Paused" : "Running";
  if (iteration == 0) return "Not Started";
  if (iteration >= endIteration) return "Finished";
  return "Incomplete";
}

ChainProgress ReadChainProgress(const RunSession& session, int chainIndex) {
  ChainProgress progress;
  progress.index = chainIndex;
  if (chainIndex < 0 || chainIndex >= static_cast<int>(session.chains.size()) ||
      session.chains[chainIndex] == nullptr)
    return progress;
  const Chain& chain = *session.chains[chainIndex];
  const bool live = ChainHasThread(session, chainIndex);
  progress.iteration = chain.iteration.load(std::memory_order_relaxed);
  progress.endIteration = chain.endIteration;
  const ClockReading clock = ReadChainClock(session, chainIndex);
  const ChainTiming timing = ChainElapsedAndEta(clock.elapsedMs, clock.iterationsTimed,
                                                progress.endIteration - progress.iteration);
  progress.elapsed = timing.elapsed;
  progress.eta = timing.eta;
  if (clock.elapsedMs > 0)
    progress.rate = static_cast<double>(clock.iterationsTimed) * 1000.0 /
                    static_cast<double>(clock.elapsedMs);
  progress.cpu = chain.cpuTime + ChainCpuTime(session, chainIndex);
  progress.state = ChainStateText(live, chain.runState.load(std::memory_order_relaxed),
                                  progress.iteration, progress.endIteration);
  progress.phase = ChainPhaseName(chain.phase.load(std::memory_order_relaxed));
  return progress;
}

int RunProgressPercent(const RunSession& session) {
  int64_t done = 0;
  int64_t target = 0;
  int64_t chains = 0;
  for (const auto& chain : session.chains) {
    if (chain == nullptr) continue;
    done += chain->iteration.load(std::memory_order_relaxed);
    target = std::max<int64_t>(target, chain->endIteration);
    ++chains;
  }
  if (chains == 0 || target <= 0) return 0;
  return static_cast<int>(100 * done / chains / target);
}

}  // namespace mixora
