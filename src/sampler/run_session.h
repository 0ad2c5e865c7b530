#pragma once
// What the front end and the chain threads share while a run is open: the
// current run, its chain table, the thread of every chain, the count of live
// chain threads, the shutdown flag and the queue through which chain threads
// tell the front end that they have ended.
//
// Ownership: only the front-end thread changes the session; a chain thread
// writes its own Chain record and its own ChainThreadSlot, reads the run,
// and posts to the notice queue. Nothing else is shared.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"
#include "sampler/c_rand.h"
#include "sampler/chain.h"
#include "sampler/chain_workers.h"
#include "sampler/priors.h"

namespace mixora {

// Notices a chain thread (chain finished) or the front end itself (mixture
// finished) posts for the front end to handle in order.
inline constexpr int32_t kChainFinishedNotice = 0x8000;
inline constexpr int32_t kMixtureFinishedNotice = 0x8001;

struct ChainNotice {
  int32_t kind = 0;
  int32_t chain = -1;  // chain index for kChainFinishedNotice
};

struct NoticeQueue {
  std::mutex lock;
  std::condition_variable posted;
  std::deque<ChainNotice> notices;
};

// Safe from any thread.
void PostNotice(NoticeQueue& queue, ChainNotice notice);
// Takes the oldest notice, waiting up to `wait` for one to arrive. Returns
// false when none came.
bool TakeNotice(NoticeQueue& queue, ChainNotice& notice, std::chrono::milliseconds wait);
void ClearNotices(NoticeQueue& queue);

// The thread side of one chain. Threads cannot be suspended from outside, so
// a pause is a request the chain thread honours between iterations.
struct ChainThreadSlot {
  std::thread thread;  // joinable from the start of the chain until it is reaped
  // The thread's id for its nice value (0 before it runs) and the nice value
  // it started with. The thread stores baseNice, then systemId with release;
  // the front end loads systemId with acquire, so a non-zero id comes with
  // its baseNice.
  std::atomic<int32_t> systemId{0};
  std::atomic<int32_t> baseNice{0};
  std::mutex gate;
  std::condition_variable wake;
  bool pauseRequested = false;  // guarded by gate
  // The chain clock as the chain thread last published it, for displays.
  // Relaxed: a rate computed from a time and a count one save apart is still
  // a fair display, and nothing else hangs on them.
  std::atomic<uint64_t> elapsedMs{0};
  std::atomic<uint64_t> iterationsTimed{0};
  // Processor time of the thread in hundredths, set as it finishes (-1 before).
  // Relaxed: one word, published alone; its final reading follows the join.
  std::atomic<int64_t> finalCpu{-1};
  // The chain's helper threads, when it shares its fish among several; their
  // time is part of the chain's processor time.
  HelperRecords helpers;
  // The seeds and starting stocks the chain was created with; a fresh start
  // goes back to them whatever a restart file said.
  ChainStart created;
};

struct RunSession {
  RunSession() = default;
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  std::unique_ptr<RunRecord> run;  // the current run, or none
  const Interaction* ui = nullptr;
  std::vector<std::unique_ptr<Chain>> chains;  // the chain table, by index
  std::vector<std::unique_ptr<ChainThreadSlot>> slots;  // one per chain
  CRandState crand;  // draws the starting stocks of the chains being created

  int32_t liveThreads = 0;  // changed only on the front-end thread
  // Polled by every chain thread between iterations; relaxed, as a stop
  // request carries no data with it.
  std::atomic<int32_t> shutdown{0};
  // The current mixture's number of reps: the end iteration of every chain
  // started from now on. 0 until a run is opened, which sets it to the
  // mixture's target (chain_target.h), raised to requestedReps.
  int32_t numberOfReps = 0;
  // A number of reps the user asked for (the number-of-reps window, a
  // command line option), held for every mixture opened afterwards; 0 none.
  // The front end clears it when it opens another run control file.
  int32_t requestedReps = 0;
  bool rerun = false;          // start chains afresh instead of resuming them
  // Threads each chain started from now on shares the fish of its
  // iterations among (1 .. kMaxThreadsPerChain). The files a chain writes
  // are the same for every value; it is not part of the run.
  int32_t threadsPerChain = 1;

  // The chain the last StartChains stopped at because it could not be
  // prepared, or -1.
  int32_t failedChain = -1;
  bool mixtureMarked = true;   // the current mixture is one to run
  NoticeQueue notices;

  // Called on a chain's thread after each completed iteration, before the
  // abort request is read. For tests that stop a chain at a chosen point.
  std::function<void(Chain& chain)> afterIteration;
};

}  // namespace mixora
