#include "sampler/chain_runner.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <new>
#include <system_error>

#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_header.h"
#include "runfiles/sample_file_writer.h"
#include "sampler/chain_clock.h"
#include "sampler/chain_lock.h"
#include "sampler/chain_samples_check.h"
#include "sampler/generator_handle.h"
#include "sampler/gibbs_sampler.h"
#include "sampler/restart_file.h"
#include "core/system_error.h"

namespace mixora {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Nice offsets for the priorities "Lowest", "Lower", "Normal", "Higher".
constexpr int kNiceOffset[4] = {10, 5, 0, -5};

const Interaction& SessionUi(const RunSession& session) {
  static const Interaction kNobody;
  return session.ui != nullptr ? *session.ui : kNobody;
}

bool InRange(const RunSession& session, int index) {
  return index >= 0 && index < static_cast<int>(session.chains.size()) &&
         index < static_cast<int>(session.slots.size());
}

int ClampPriority(int priority) { return priority < 0 ? 0 : priority > 3 ? 3 : priority; }

// Refused nice values (raising a thread's priority needs privileges) are
// ignored: the chain simply runs at the priority it has.
void ApplyNice(const ChainThreadSlot& slot, int priority) {
  const int id = slot.systemId.load(std::memory_order_acquire);
  if (id == 0) return;
  int nice = slot.baseNice.load(kRelaxed) + kNiceOffset[ClampPriority(priority)];
  nice = nice < -20 ? -20 : nice > 19 ? 19 : nice;
  setpriority(PRIO_PROCESS, static_cast<id_t>(id), nice);
  // The chain's helpers share its work, so they share its priority.
  for (const std::atomic<int32_t>& helper : slot.helpers.systemIds) {
    const int helperId = helper.load(std::memory_order_acquire);
    if (helperId != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(helperId), nice);
  }
}

int64_t Hundredths(const timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 100 + t.tv_nsec / 10000000;
}

int64_t OwnThreadCpu() {
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
  return Hundredths(t);
}

int64_t HelperCpu(const ChainThreadSlot& slot) {
  return slot.helpers.cpuNanoseconds.load(kRelaxed) / 10000000;
}

void PublishClock(ChainThreadSlot& slot, const ChainClock& clock) {
  slot.elapsedMs.store(clock.elapsedMs, kRelaxed);
  slot.iterationsTimed.store(clock.iterationsTimed, kRelaxed);
}

bool StopRequested(const RunSession& session, const Chain& chain) {
  return session.shutdown.load(kRelaxed) != 0 || chain.abortRequested.load(kRelaxed) != 0;
}

// Between iterations: a paused chain stops its clock and waits here until it
// is resumed (an abort resumes it too).
void WaitWhilePaused(Chain& chain, ChainThreadSlot& slot) {
  std::unique_lock<std::mutex> hold(slot.gate);
  if (!slot.pauseRequested) return;
  ClockStop(chain.clock);
  PublishClock(slot, chain.clock);
  slot.wake.wait(hold, [&slot] { return !slot.pauseRequested; });
  ClockStart(chain.clock);
}

// The pending samples written and both headers counting every record, on
// disk. Done before the last restart file, so that a chain whose restart
// file says it is finished never has headers that count fewer records.
int SettleSampleFiles(ChainSampleFiles& files) {
  if (FlushChainSamples(files) == 0) return 0;
  for (SampleFileWriter* w : {&files.assignment, &files.composition}) {
    if (w->file == nullptr) return 0;
    if (WriteSampleHeader(w->file, w->valuesPerRecord, w->thinning, w->total, w->capacity,
                          w->elementSize, w->inputsTag) == 0 ||
        std::fseek(w->file, 0, SEEK_END) != 0)
      return 0;
  }
  return CommitChainSamples(files);
}

// Shows why and marks the restart file refused when the chain's sample files
// lack records its restart file counts. True when refused.
bool RefuseMissingSamples(RunSession& session, Chain& chain) {
  const MissingSamples missing = FindMissingSamples(*chain.run, chain.index,
                                                    chain.samples.assignment.total,
                                                    chain.samples.composition.total);
  if (missing.samplePath.empty()) return false;
  ShowMessage(SessionUi(session), kMbIconError | MessageForChain(chain.index + 1), "%s",
              DescribeMissingSamples(chain.index, missing).c_str());
  chain.restartRefused = true;
  chain.resume = 0;
  return true;
}

bool HeaderCounts(const std::string& path, uint32_t records) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  SampleFileHeader header;
  const bool counts = CheckSampleMagic(file, header) == 1 && header.recordCount == records;
  std::fclose(file);
  return counts;
}

// A chain found finished may have been stopped by a crash between its last
// save and the rewrite of its sample headers: the records are all there,
// only the counts lag. Reopening the files as for a resume and closing them
// brings the headers to the restart file's totals. A chain whose sample
// files no longer hold what its restart file counts is not finished: it is
// refused (shown), and false is returned.
bool SettleFinishedChainFiles(RunSession& session, Chain& chain) {
  RunRecord& run = *chain.run;
  ChainSampleFiles& files = chain.samples;
  if (RefuseMissingSamples(session, chain)) return false;
  const std::string sta = BuildRunFileName(run, chain.index, kNoReport, kNoGroup, kExtAssignments);
  const std::string ise = BuildRunFileName(run, chain.index, kNoReport, kNoGroup, kExtComposition);
  if (HeaderCounts(sta, files.assignment.total) && HeaderCounts(ise, files.composition.total))
    return true;
  files.resumeIteration = chain.iteration.load(kRelaxed);
  if (OpenChainOutputs(files, run, chain.index, chain.seed1, chain.seed2, true,
                       SessionUi(session)) == 0)
    CloseChainSamples(files);
  return true;
}

void WriteToChainLog(Chain& chain, const std::string& text) {
  if (chain.samples.chainLog == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), chain.samples.chainLog);
}

// Undoes a PrepareChain that succeeded, for a chain whose thread could not
// be started.
void UnprepareChain(Chain& chain) {
  CloseChainSamples(chain.samples);
  ReleaseSamplerArrays(chain);
  ReleaseChainLock(chain);
}

// Takes the chain's lock unless this process holds it already. Returns 1, or
// 0 (shown) when another process runs the chain or the lock file cannot be
// made.
int AcquireChainLock(Chain& chain, const Interaction& ui) {
  if (chain.lockFd >= 0) return 1;
  const std::string& restart = RestartFilePath(chain);
  chain.lockPath = restart.substr(0, restart.size() - 3) + "lock";
  const int fd = LockChainFile(chain.lockPath);
  if (fd >= 0) {
    chain.lockFd = fd;
    return 1;
  }
  if (fd == kChainLockBusy)
    ShowMessage(ui, kMbIconError | MessageForChain(chain.index + 1),
                "Chain %d is running in another process (%s is locked); it is left to that "
                "process",
                chain.index + 1, chain.lockPath.c_str());
  else
    ShowMessage(ui, kMbIconError | MessageForChain(chain.index + 1), "Cannot Open %s: %s",
                chain.lockPath.c_str(), SystemErrorText(errno).c_str());
  return 0;
}

// A chain that was starting afresh and could not run has no restart file,
// and the files it has just begun hold nothing. They go, while the chain's
// lock is still held, so that the next run starts the chain without asking
// whether to replace them.
void DropFilesOfAFreshStart(Chain& chain) {
  if (chain.startIteration != 1) return;
  for (const std::string* path :
       {&chain.samples.assignment.path, &chain.samples.composition.path, &chain.samples.chainLogPath})
    std::remove(path->c_str());
}

}  // namespace

void ReleaseChainLock(Chain& chain) { UnlockChainFile(chain.lockFd, chain.lockPath); }

int CreateChain(RunSession& session, int index) {
  RunRecord* run = session.run.get();
  if (run == nullptr || index != static_cast<int>(session.chains.size())) return -2;
  try {
    auto chain = std::make_unique<Chain>();
    auto slot = std::make_unique<ChainThreadSlot>();
    std::vector<StartStocks> earlier;
    earlier.reserve(session.slots.size());
    for (const auto& s : session.slots) earlier.push_back(s->created.startStocks);
    slot->created = MakeChainStart(run->settings, run->stockId, earlier, session.crand);

    chain->run = run;
    chain->ui = session.ui;
    chain->index = index;
    chain->endIteration = run->settings.NumberOfReps;
    chain->seed1 = slot->created.seed1;
    chain->seed2 = slot->created.seed2;
    chain->startStocks = slot->created.startStocks;
    chain->priority = 1;
    chain->runState.store(kChainStopped, kRelaxed);
    chain->phase.store(kPhaseInitDone, kRelaxed);
    session.chains.push_back(std::move(chain));
    session.slots.push_back(std::move(slot));
  } catch (const std::bad_alloc&) {
    if (session.chains.size() > session.slots.size()) session.chains.pop_back();
    return -2;
  }
  return index;
}

int PrepareChain(RunSession& session, Chain& chain, int32_t reps) {
  const Interaction& ui = SessionUi(session);
  RunRecord& run = *chain.run;
  const ChainThreadSlot& slot = *session.slots[chain.index];
  if (AcquireChainLock(chain, ui) == 0) return 0;
  const int arrays = AllocateSamplerArrays(chain);
  if (arrays == kArraysOutOfMemory) {
    ShowMessage(ui, kMbIconError | MessageForChain(chain.index + 1),
                "Memory Allocation Failure.  FATAL!!");
    ReleaseChainLock(chain);
    return 0;
  }
  if (arrays != 1) {
    ShowMessage(ui, kMbIconError | MessageForChain(chain.index + 1),
                "Cannot prepare chain %d:\r\nthe run's arrays do not fit its counts",
                chain.index + 1);
    ReleaseChainLock(chain);
    return 0;
  }

  bool resuming = chain.resume != 0;
  // Only a missing restart file means a fresh start; one that exists and is
  // refused leaves the chain and all its files as they are.
  if (resuming && access(RestartFilePath(chain).c_str(), F_OK) == 0) {
    if (chain.restartRefused || TransferRestartFile(chain, kRestartRead, kRestartFull) != 1) {
      chain.restartRefused = true;
      chain.resume = 0;
      ReleaseSamplerArrays(chain);
      // The chain is not run, so nothing may claim it.
      ReleaseChainLock(chain);
      return 0;
    }
    if (RefuseMissingSamples(session, chain)) {
      ReleaseSamplerArrays(chain);
      ReleaseChainLock(chain);
      return 0;
    }
    chain.startIteration = chain.iteration.load() + 1;
    chain.endIteration = reps;
  } else {
    chain.restartRefused = false;
    resuming = false;
    chain.resume = 0;
    // A fresh start is the chain as created, whatever an earlier restart
    // file said about its seeds or its end.
    chain.seed1 = slot.created.seed1;
    chain.seed2 = slot.created.seed2;
    chain.startStocks = slot.created.startStocks;
    chain.samples.assignment.total = 0;
    chain.samples.composition.total = 0;
    ClockReset(chain.clock);
    chain.startIteration = 1;
    chain.iteration.store(0, kRelaxed);
    chain.endIteration = reps;
  }

  chain.samples.resumeIteration = resuming ? chain.iteration.load(kRelaxed) : -1;
  if (OpenChainOutputs(chain.samples, run, chain.index, chain.seed1, chain.seed2, resuming, ui) !=
      0) {
    ReleaseSamplerArrays(chain);
    ReleaseChainLock(chain);
    return 0;
  }
  if (!resuming) {
    // The old restart file describes sample files that were just replaced;
    // left in place, a crash before the first save would resume from it.
    const std::string& restart = RestartFilePath(chain);
    std::remove(restart.c_str());
    std::remove(chain.restartTempPath.c_str());
  }

  SeedChainGenerators(chain.generators, chain.seed1, chain.seed2, run.settings.RanGen, resuming);
  ResetAlleleCounts(chain);
  if (!resuming) {
    StartingProportions(run.settings.InformativePrior != 0, run.beta, run.stockId,
                        chain.startStocks, chain.arrays.proportions);
    std::string block;
    WriteChainStartBlock(block, run, chain.startStocks, chain.arrays.proportions);
    WriteToChainLog(chain, block);
    CommitFile(chain.samples.chainLog);
    chain.iteration.store(0, kRelaxed);
    if (DrawFrequencies(chain) == 0) {
      UnprepareChain(chain);
      return 0;
    }
  }
  return 1;
}

int StartChains(RunSession& session, std::span<const int> indexes) {
  if (session.run == nullptr) return -1;
  int started = 0;
  bool failed = false;
  session.failedChain = -1;
  if (session.mixtureMarked) {
    for (int index : indexes) {
      if (!InRange(session, index) || ChainHasThread(session, index)) continue;
      Chain& chain = *session.chains[index];
      ChainThreadSlot& slot = *session.slots[index];
      chain.resume = session.rerun ? 0 : 1;
      if (chain.resume != 0 && chain.iteration.load(kRelaxed) >= session.numberOfReps) {
        chain.runState.store(kChainStopped, kRelaxed);
        if (SettleFinishedChainFiles(session, chain)) continue;
        session.failedChain = index;
        failed = true;
        break;
      }
      if (PrepareChain(session, chain, session.numberOfReps) == 0) {
        session.failedChain = index;
        failed = true;
        break;
      }
      chain.abortRequested.store(0, kRelaxed);
      {
        std::lock_guard<std::mutex> hold(slot.gate);
        slot.pauseRequested = false;
      }
      slot.finalCpu.store(-1, kRelaxed);
      slot.helpers.cpuNanoseconds.store(0, kRelaxed);
      slot.elapsedMs.store(chain.clock.elapsedMs, kRelaxed);
      slot.iterationsTimed.store(chain.clock.iterationsTimed, kRelaxed);
      chain.runState.store(kChainRunning, kRelaxed);
      try {
        slot.thread = std::thread([&session, &chain] { ChainThread(session, chain); });
      } catch (const std::system_error& e) {
        chain.runState.store(kChainStopped, kRelaxed);
        DropFilesOfAFreshStart(chain);
        UnprepareChain(chain);
        ShowMessage(SessionUi(session), kMbIconError | MessageForChain(index + 1),
                    "System Message:\r\n%s:\r\n%s\r\n%s", "Cannot start the chain",
                    chain.samples.chainLogPath.c_str(), e.what());
        failed = true;
        break;
      }
      session.liveThreads += 1;
      ++started;
    }
  }
  session.rerun = false;
  if (failed) return -1;
  if (session.liveThreads == 0) PostNotice(session.notices, {kMixtureFinishedNotice, -1});
  return started;
}

int StartChains(RunSession& session, int first, int end) {
  std::vector<int> indexes;
  for (int i = first; i < end; ++i) indexes.push_back(i);
  return StartChains(session, indexes);
}

void ChainThread(RunSession& session, Chain& chain) {
  ChainThreadSlot& slot = *session.slots[chain.index];
  slot.baseNice.store(getpriority(PRIO_PROCESS, 0), kRelaxed);
  slot.systemId.store(static_cast<int32_t>(syscall(SYS_gettid)), std::memory_order_release);
  ApplyNice(slot, chain.priority);
  // Started after the nice value is set, which the helpers inherit.
  std::string failure;
  if (StartChainWorkers(chain, session.threadsPerChain, &slot.helpers, &failure) == 0) {
    // Nothing has run: the chain ends as it stood, and the next run resumes
    // it from the same restart file.
    ShowMessage(SessionUi(session), kMbIconError | MessageForChain(chain.index + 1),
                "System Message:\r\n%s:\r\n%d threads per chain\r\n%s",
                "Cannot start the chain's helper threads", session.threadsPerChain, failure.c_str());
    DropFilesOfAFreshStart(chain);
    chain.iteration.store(chain.startIteration - 1, kRelaxed);
    chain.result = 0;
    FinishChain(session, chain);
    return;
  }
  chain.result = 0;
  ClockStart(chain.clock);
  SetStatus(SessionUi(session), 0, "  Chain Iteration in progress.");

  if (chain.startIteration > chain.endIteration) {
    chain.iteration.store(chain.startIteration - 1, kRelaxed);
    chain.result = 1;
    FinishChain(session, chain);
    return;
  }
  int result = 1;
  int32_t t = chain.startIteration;
  for (;;) {
    chain.iteration.store(t, kRelaxed);
    result = RunIteration(chain);
    if (result == 0) break;
    ClockTick(chain.clock);
    PublishClock(slot, chain.clock);
    if (session.afterIteration) session.afterIteration(chain);
    if (StopRequested(session, chain)) {
      ++t;
      break;
    }
    WaitWhilePaused(chain, slot);
    if (StopRequested(session, chain)) {
      ++t;
      break;
    }
    ++t;
    if (t > chain.endIteration) break;
  }
  chain.iteration.store(t - 1, kRelaxed);
  chain.result = result;
  FinishChain(session, chain);
}

void FinishChain(RunSession& session, Chain& chain) {
  ChainThreadSlot& slot = *session.slots[chain.index];
  StopChainWorkers(chain);
  if (chain.result != 0) {
    chain.phase.store(kPhaseSaving, kRelaxed);
    if (SettleSampleFiles(chain.samples) == 0 ||
        TransferRestartFile(chain, kRestartWrite, kRestartFull) == 0) {
      ReportSaveFailure(chain, RestartFilePath(chain));
      chain.result = 0;
    }
  }
  PublishClock(slot, chain.clock);
  WriteToChainLog(chain, "Chain Loop Iterations: " + FormatClock(chain.clock) + "\r\n");
  if (CloseChainSamples(chain.samples) == 0 && chain.result != 0) {
    ReportSaveFailure(chain, chain.samples.composition.path);
    chain.result = 0;
  }
  ReleaseSamplerArrays(chain);
  CommitFile(chain.samples.chainLog);
  // The helpers were joined above, so their time is complete.
  slot.finalCpu.store(OwnThreadCpu() + HelperCpu(slot), kRelaxed);
  if (session.shutdown.load(kRelaxed) == 0)
    PostNotice(session.notices, {kChainFinishedNotice, chain.index});
}

void ReapChainThread(RunSession& session, int chainIndex) {
  if (!ChainHasThread(session, chainIndex)) return;
  ChainThreadSlot& slot = *session.slots[chainIndex];
  Chain& chain = *session.chains[chainIndex];
  slot.thread.join();
  session.liveThreads -= 1;
  const int64_t cpu = slot.finalCpu.load(kRelaxed);
  if (cpu > 0) chain.cpuTime += static_cast<uint32_t>(cpu);
  slot.finalCpu.store(-1, kRelaxed);
  slot.systemId.store(0, kRelaxed);
}

void OnChainFinished(RunSession& session, int chainIndex) {
  if (!ChainHasThread(session, chainIndex)) return;
  ReapChainThread(session, chainIndex);
  if (session.shutdown.load(kRelaxed) != 0) return;
  Chain& chain = *session.chains[chainIndex];
  const bool aborted = chain.abortRequested.load(kRelaxed) != 0;
  // A chain whose last phase failed keeps that phase, so it is not shown
  // as completed.
  if (aborted)
    chain.phase.store(kPhaseAborted, kRelaxed);
  else if (chain.result != 0)
    chain.phase.store(kPhaseCompleted, kRelaxed);
  chain.runState.store(kChainStopped, kRelaxed);
  if (session.liveThreads == 0 && !aborted)
    PostNotice(session.notices, {kMixtureFinishedNotice, -1});
}

void PauseChains(RunSession& session, int first, int end) {
  for (int i = first; i < end; ++i) {
    if (!ChainHasThread(session, i)) continue;
    ChainThreadSlot& slot = *session.slots[i];
    std::lock_guard<std::mutex> hold(slot.gate);
    slot.pauseRequested = true;
    session.chains[i]->runState.store(kChainPaused, kRelaxed);
  }
}

void ResumeChains(RunSession& session, int first, int end) {
  for (int i = first; i < end; ++i) {
    if (!ChainHasThread(session, i)) continue;
    ChainThreadSlot& slot = *session.slots[i];
    {
      std::lock_guard<std::mutex> hold(slot.gate);
      slot.pauseRequested = false;
      session.chains[i]->runState.store(kChainRunning, kRelaxed);
    }
    slot.wake.notify_all();
  }
}

int AbortChains(RunSession& session, int first, int end, bool ask) {
  int live = 0;
  for (int i = first; i < end; ++i) live += ChainHasThread(session, i) ? 1 : 0;
  if (live == 0) return 0;
  if (ask) {
    const bool single = end - first == 1;
    const uint32_t type = uint32_t{kMbYesNo} | uint32_t{kMbIconError} | (single ? MessageForChain(first + 1) : 0);
    if (ShowMessage(SessionUi(session), type, "%s",
                    single ? "Abort Chain?" : "Abort All Chains?") != kIdYes)
      return 0;
  }
  int asked = 0;
  for (int i = first; i < end; ++i) {
    if (!ChainHasThread(session, i)) continue;
    // The request is set before a paused chain wakes, so it wakes to stop
    // rather than to run one more iteration.
    session.chains[i]->abortRequested.store(1, kRelaxed);
    ResumeChains(session, i, i + 1);
    ++asked;
  }
  return asked;
}

void SetChainPriority(RunSession& session, int priority, int first, int end) {
  priority = ClampPriority(priority);
  for (int i = first; i < end; ++i) {
    if (!InRange(session, i)) continue;
    session.chains[i]->priority = priority;
    if (ChainHasThread(session, i)) ApplyNice(*session.slots[i], priority);
  }
}

uint32_t ChainCpuTime(const RunSession& session, int chainIndex) {
  if (!ChainHasThread(session, chainIndex)) return 0;
  const ChainThreadSlot& slot = *session.slots[chainIndex];
  int64_t cpu = slot.finalCpu.load(kRelaxed);
  if (cpu >= 0) return static_cast<uint32_t>(cpu);
  const int64_t helpers = HelperCpu(slot);
  clockid_t id;
  timespec t{};
  // The thread may end between these calls; then its final time is used.
  if (pthread_getcpuclockid(const_cast<std::thread&>(slot.thread).native_handle(), &id) != 0 ||
      clock_gettime(id, &t) != 0) {
    cpu = slot.finalCpu.load(kRelaxed);
    return cpu > 0 ? static_cast<uint32_t>(cpu) : 0;
  }
  return static_cast<uint32_t>(Hundredths(t) + helpers);
}

ClockReading ReadChainClock(const RunSession& session, int chainIndex) {
  ClockReading reading;
  if (!InRange(session, chainIndex)) return reading;
  if (ChainHasThread(session, chainIndex)) {
    const ChainThreadSlot& slot = *session.slots[chainIndex];
    reading.elapsedMs = slot.elapsedMs.load(kRelaxed);
    reading.iterationsTimed = slot.iterationsTimed.load(kRelaxed);
  } else {
    const ChainClock& clock = session.chains[chainIndex]->clock;
    reading.elapsedMs = clock.elapsedMs;
    reading.iterationsTimed = clock.iterationsTimed;
  }
  return reading;
}

bool ChainHasThread(const RunSession& session, int chainIndex) {
  return InRange(session, chainIndex) && session.slots[chainIndex]->thread.joinable();
}

}  // namespace mixora
