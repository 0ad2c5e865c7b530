#pragma once
// Running the chains of the open run: creating the chain records, preparing
// and starting chains (afresh or from their restart files), the iteration
// loop of a chain thread and its end, the front end's handling of a finished
// chain, pause, resume, abort, priorities and processor time.
//
// Every function here except ChainThread and FinishChain runs on the
// front-end thread, the one that opened the run.
#include <cstdint>
#include <span>
#include <string>

#include "sampler/chain.h"
#include "sampler/run_session.h"

namespace mixora {

inline constexpr const char* kPriorityNames[4] = {"Lowest", "Lower", "Normal", "Higher"};

// Creates chain `index` of session.run and enters it in the chain table:
// seeds (raised by 2 per chain with ChangeSeeds), starting stocks, end
// iteration NumberOfReps, priority "Lower", run state stopped. Chains must
// be created in index order from 0. Returns index, or -2 when the record
// cannot be made.
int CreateChain(RunSession& session, int index);

// Prepares chain `chain` for a start that runs to iteration reps: sampler
// arrays; when resuming, the restart file read in full (a missing one means
// a fresh start; one that exists but is refused, now or when the run was
// opened, fails the preparation with restartRefused set and nothing of the
// chain's files touched); for a fresh start the seeds and starting stocks it was
// created with, record totals 0, clock reset, iteration 1, and its old
// restart file removed once the new outputs are open; the outputs opened
// (appending when resuming); generators installed (seeded unless resuming);
// baseline counts; for a fresh start the starting proportions, their block in
// the chain log and a first frequency draw. Returns 1, or 0 with everything
// it allocated or opened released.
int PrepareChain(RunSession& session, Chain& chain, int32_t reps);

// PrepareChain first takes the chain's lock (chain_lock.h), which refuses a
// chain that another process runs; the lock is held until the chain is
// closed (CloseChain), and this lets it go.
void ReleaseChainLock(Chain& chain);

// Starts the chains of `indexes` (or first .. end - 1) that have no live
// thread, each resumed from its restart file unless session.rerun is set; a
// resumed chain that has already reached session.numberOfReps is left
// stopped. Stops at the first chain that cannot be prepared. When no chain
// thread is live afterwards, posts the mixture-finished notice. Returns the
// number of chains started, or -1 when a chain could not be prepared.
int StartChains(RunSession& session, std::span<const int> indexes);
int StartChains(RunSession& session, int first, int end);

// The chain thread: iterations start .. end, stopping early after an
// iteration when the shutdown flag or the chain's abort request is set, and
// waiting between iterations while paused; then FinishChain.
void ChainThread(RunSession& session, Chain& chain);

// The chain thread's last act: the pending samples written and the sample
// file headers brought up to date, then the restart file (not after a failed
// iteration, whose state is half-way through), the loop time in the chain
// log, the sample files closed, the arrays released, and the chain-finished
// notice posted unless the shutdown flag is set.
void FinishChain(RunSession& session, Chain& chain);

// The front end's handling of the chain-finished notice: waits for the
// thread to end, then marks the chain stopped with phase "Aborted" or, when
// its last phase succeeded, "Completed"; after the last live chain of the
// mixture, unless this one was aborted, posts the mixture-finished notice.
// A notice for a chain without a thread is stale and ignored.
void OnChainFinished(RunSession& session, int chainIndex);

// Waits for the chain's thread to end and counts it off: live threads - 1,
// the thread's processor time added to the chain. Nothing without a thread.
void ReapChainThread(RunSession& session, int chainIndex);

// Pause and resume chains first .. end - 1 that have a live thread. A
// paused chain stops its clock and waits after its current iteration.
void PauseChains(RunSession& session, int first, int end);
void ResumeChains(RunSession& session, int first, int end);

// Asks chains first .. end - 1 that have a live thread to stop after their
// current iteration (a paused one is resumed first). With ask, only after
// "Abort Chain?" (one chain) or "Abort All Chains?" is answered Yes. Returns
// the number of chains asked to stop.
int AbortChains(RunSession& session, int first, int end, bool ask);

// Priority 0 "Lowest" .. 3 "Higher" for chains first .. end - 1; a live
// thread takes it at once as its nice value (lowest +10, lower +5, normal
// +0, higher -5 against the process). A nice value the system refuses is
// ignored.
void SetChainPriority(RunSession& session, int priority, int first, int end);

// Hundredths of a second of processor time used by the chain's live thread
// (0 without one).
uint32_t ChainCpuTime(const RunSession& session, int chainIndex);

// The chain's clock reading: the live thread's last published values, or
// the clock itself when no thread runs.
struct ClockReading {
  uint64_t elapsedMs = 0;
  uint64_t iterationsTimed = 0;
};
ClockReading ReadChainClock(const RunSession& session, int chainIndex);

// Whether the chain has a thread that has not been reaped.
bool ChainHasThread(const RunSession& session, int chainIndex);

}  // namespace mixora
