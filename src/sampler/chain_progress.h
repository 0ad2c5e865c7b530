#pragma once
// What a chain monitor shows of one chain, read from the session without
// stopping the chain: progress, timing, state and generator use.
#include <cstdint>
#include <string>

#include "sampler/run_session.h"

namespace mixora {

struct ChainProgress {
  int index = 0;                 // counted from 0
  int32_t iteration = 0;
  int32_t endIteration = 0;
  int64_t elapsed = 0;           // hundredths of a second of loop time
  int64_t eta = -1;              // hundredths, -1 when nothing has been timed yet
  double rate = 0.0;             // iterations per second of loop time
  uint32_t cpu = 0;              // hundredths: finished threads plus the live one
  std::string state;             // "Running", "Paused", "Not Started", "Finished", "Incomplete"
  std::string phase;             // the phase name ("Init Done", "DataAug", "Completed", ...)
};

// The state text: with a live thread "Paused" or "Running"; without one
// "Not Started" at iteration 0, "Finished" from the end iteration on, else
// "Incomplete".
std::string ChainStateText(bool liveThread, int32_t runState, int32_t iteration,
                           int32_t endIteration);

// A snapshot of chain chainIndex; values may lag the chain by an iteration.
ChainProgress ReadChainProgress(const RunSession& session, int chainIndex);

// Percent of the iterations done over the chains of the run: 100 times the
// summed iterations over the number of chains, over the largest end
// iteration, in integer arithmetic. 0 without chains.
int RunProgressPercent(const RunSession& session);

}  // namespace mixora
