#pragma once
// Timing of a chain's iteration loop: a millisecond tick counter that wraps
// at 2^32, the chain clock that sums the ticks between iterations, and its
// text for the chain log.
#include <cstdint>
#include <string>

#include "sampler/chain.h"

namespace mixora {

// Milliseconds since an arbitrary start, wrapping at 2^32. Never 0, because
// a last tick of 0 marks a stopped clock.
uint32_t TickCount();

// All fields 0.
void ClockReset(ChainClock& clock);
// Starts timing from now.
void ClockStart(ChainClock& clock, uint32_t now);
void ClockStart(ChainClock& clock);
// Adds the time since the last reading and stops the clock; nothing when it
// is already stopped.
void ClockStop(ChainClock& clock, uint32_t now);
void ClockStop(ChainClock& clock);
// After every iteration of a running clock: adds the time since the last
// reading, takes now as the last reading and counts the iteration.
void ClockTick(ChainClock& clock, uint32_t now);
void ClockTick(ChainClock& clock);

// "%lld calls - %d.%02d secs": the iterations timed and the elapsed time in
// seconds with two decimals, rounded up only from a last millisecond digit
// of 6 (1237 ms show 1.24, 1235 ms 1.23).
std::string FormatClock(const ChainClock& clock);

// Elapsed and estimated remaining time of a chain in hundredths of a second
// from its clock reading (elapsedMs over iterationsTimed) and the iterations
// left (end iteration minus iteration). The estimate is -1 while no
// iteration has been timed.
struct ChainTiming {
  int64_t elapsed = 0;
  int64_t eta = -1;
};
ChainTiming ChainElapsedAndEta(uint64_t elapsedMs, uint64_t iterationsTimed,
                               int32_t iterationsLeft);

}  // namespace mixora
