#include "sampler/chain_clock.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

namespace mixora {
namespace {

// Time between two readings. A wrapped counter loses one millisecond, as the
// tick arithmetic of the chain clock always has.
uint64_t Since(uint32_t last, uint32_t now) {
  uint32_t span = now - last;
  if (now < last) span -= 1;
  return span;
}

// Hundredths of a second from milliseconds, rounded up only from 6.
int64_t ToHundredths(int64_t ms) {
  int64_t hundredths = ms / 10;
  if (ms % 10 > 5) hundredths += 1;
  return hundredths;
}

}  // namespace

uint32_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const uint32_t ms =
      static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  return ms == 0 ? 1 : ms;
}

void ClockReset(ChainClock& clock) { clock = ChainClock{}; }

void ClockStart(ChainClock& clock, uint32_t now) { clock.lastTick = now; }
void ClockStart(ChainClock& clock) { ClockStart(clock, TickCount()); }

void ClockStop(ChainClock& clock, uint32_t now) {
  if (clock.lastTick == 0) return;
  clock.elapsedMs += Since(clock.lastTick, now);
  clock.lastTick = 0;
}
void ClockStop(ChainClock& clock) { ClockStop(clock, TickCount()); }

void ClockTick(ChainClock& clock, uint32_t now) {
  if (clock.lastTick == 0) return;
  clock.elapsedMs += Since(clock.lastTick, now);
  clock.lastTick = now;
  clock.iterationsTimed += 1;
}
void ClockTick(ChainClock& clock) { ClockTick(clock, TickCount()); }

std::string FormatClock(const ChainClock& clock) {
  uint64_t ms = clock.elapsedMs;
  if (ms % 10 > 5) ms += 5;
  char text[96];
  std::snprintf(text, sizeof text, "%" PRIu64 " calls - %" PRIu64 ".%02" PRIu64 " secs",
                clock.iterationsTimed, ms / 1000, (ms / 10) % 100);
  return text;
}

ChainTiming ChainElapsedAndEta(uint64_t elapsedMs, uint64_t iterationsTimed,
                               int32_t iterationsLeft) {
  ChainTiming timing;
  timing.elapsed = ToHundredths(static_cast<int64_t>(elapsedMs));
  if (iterationsTimed == 0) return timing;
  const int64_t remainingMs = static_cast<int64_t>(iterationsLeft) *
                              static_cast<int64_t>(elapsedMs) /
                              static_cast<int64_t>(iterationsTimed);
  timing.eta = remainingMs > 0 ? ToHundredths(remainingMs) : 0;
  return timing;
}

}  // namespace mixora
