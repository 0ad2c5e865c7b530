#pragma once
// One MCMC chain of the open run: who it is, how far it got, its generators,
// its sample writers and the Gibbs sampler's work arrays. The record lives at
// one address for as long as the run is open (the generator handle points
// into it, and the monitor reads it from the main thread), so it is neither
// copied nor moved; hold it through a std::unique_ptr.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"
#include "runfiles/sample_file_writer.h"
#include "sampler/chain_workers.h"
#include "sampler/generator_handle.h"
#include "sampler/priors.h"

namespace mixora {

// What the chain is doing, as the chain monitor shows it.
enum ChainPhase : int32_t {
  kPhaseInitDone = 0,
  kPhaseIntVal = 1,    // computing the likelihoods
  kPhaseDataAug = 2,   // drawing origins and proportions, recounting alleles
  kPhaseEstFreq = 3,   // drawing allele frequencies
  kPhaseSaving = 4,    // writing pending samples and the restart file
  kPhasePreExtending = 5,
  kPhaseAborted = 6,
  kPhaseCompleted = 7,
};

// "Init Done", "IntVal", ... ("" for a value outside the table).
const char* ChainPhaseName(int32_t phase);

enum ChainRunState : int32_t {
  kChainStopped = 1,
  kChainRunning = 6,
  kChainPaused = 8,
};

// Elapsed time of a chain's iteration loop.
struct ChainClock {
  uint64_t elapsedMs = 0;
  uint64_t iterationsTimed = 0;
  uint32_t lastTick = 0;  // 0: the clock is stopped
};

// Stocks are handled in blocks of this many lanes by the likelihood kernel;
// the rows it reads are padded to a whole number of blocks.
inline constexpr int32_t kStockBlock = 8;

// Fish whose products and sums are formed side by side (each in its own
// order), so that chains of dependent floating-point operations overlap.
inline constexpr int32_t kFishSideBySide = 4;

// A std::vector allocator that aligns its storage to a cache line, so that
// every padded row of the likelihood tables starts on one.
template <typename T>
struct CacheAlignedAllocator {
  using value_type = T;
  static constexpr std::align_val_t kAlignment{64};
  CacheAlignedAllocator() = default;
  template <typename U>
  CacheAlignedAllocator(const CacheAlignedAllocator<U>&) {}
  T* allocate(std::size_t n) {
    return static_cast<T*>(::operator new(n * sizeof(T), kAlignment));
  }
  void deallocate(T* p, std::size_t) { ::operator delete(p, kAlignment); }
  template <typename U>
  bool operator==(const CacheAlignedAllocator<U>&) const { return true; }
};
using AlignedDoubles = std::vector<double, CacheAlignedAllocator<double>>;

// The Gibbs sampler's arrays, sized once per chain start (AllocateSamplerArrays)
// and never resized while the chain iterates. S stocks, C characters, A
// allele slots per character, F mixture fish; P = S rounded up to kStockBlock.
struct SamplerArrays {
  int32_t stocks = 0;      // S
  int32_t characters = 0;  // C
  int32_t slots = 0;       // A
  int32_t fish = 0;        // F
  int32_t stride = 0;      // P

  std::vector<double> proportions;  // p[s]
  // theta[(s * C + c) * A + k], the order restart files store; slots k >= K_c
  // stay 0.
  std::vector<double> frequencies;
  // The same frequencies turned for the likelihood product: row c * A + k
  // holds every stock's theta side by side, [(c * A + k) * P + s], with an
  // exact 0 replaced by 1 (a zero frequency contributes no factor, and
  // multiplying by 1 changes nothing) and the padding lanes at 1.
  AlignedDoubles factors;
  std::vector<int32_t> counts;       // n[(s * C + c) * A + k]
  AlignedDoubles likelihoods;        // L[i * P + s]
  // Origin probabilities of every fish, [i * P + s], and their sums. All
  // fish are weighed before the first draw, so the weighing can be shared
  // out among threads while the draws keep their order.
  AlignedDoubles weights;
  std::vector<double> weightSums;    // [F]
  std::vector<int32_t> stockCounts;  // m[s]
  std::vector<int32_t> origins;      // z[i], 0-based stock index
  // The origin each fish's alleles are in counts under, -1 when they are
  // not: the recount moves only the fish whose origin changed.
  std::vector<int32_t> countedOrigins;
  std::vector<int32_t> scaled;       // one composition record, [S]
  // The bands of stocks the likelihood kernels take in one walk over a
  // fish's rows: first stock, blocks of kStockBlock, and the number of
  // leading stocks whose frequencies the band needs. Planned for bandStride.
  std::vector<int32_t> bandFirst, bandBlocks, bandNeeds;
  int32_t bandStride = 0;
  // The alleles present in each fish, as rows c * A + (a - 1):
  // alleleRows[alleleStart[i] .. alleleStart[i + 1]).
  std::vector<uint32_t> alleleStart;
  std::vector<uint32_t> alleleRows;
  // Scratch of the restart file writer, reserved for its largest image.
  std::vector<uint8_t> restartImage;
  std::vector<uint8_t> restartBlock;
};

struct Chain {
  Chain() = default;
  Chain(const Chain&) = delete;
  Chain& operator=(const Chain&) = delete;

  RunRecord* run = nullptr;           // read-only while chains run
  const Interaction* ui = nullptr;    // messages are titled for this chain
  int32_t index = 0;                  // counted from 0

  int32_t startIteration = 0;
  // Current iteration; after the thread ends, the last completed one. Read by
  // the monitor on the main thread. Relaxed: a count shown while the thread
  // runs publishes nothing else, and every decision made on it comes after
  // the thread is joined, which orders it.
  std::atomic<int32_t> iteration{0};
  int32_t endIteration = 0;
  int32_t seed1 = 0;
  int32_t seed2 = 0;
  StartStocks startStocks{-1, -1, -1, -1};

  // Chain log, sample files, their buffers, pending counts and record totals.
  ChainSampleFiles samples;
  // Written on the front-end thread only and read for display elsewhere;
  // relaxed, as it guards no other data.
  std::atomic<int32_t> runState{kChainStopped};
  SamplerArrays arrays;

  // A request the chain thread polls between iterations. Relaxed: it hands
  // over no data, and seeing it one iteration late costs nothing.
  std::atomic<int32_t> abortRequested{0};
  int32_t result = 0;
  uint32_t cpuTime = 0;  // hundredths of a second of finished threads

  ChainGenerators generators;
  // Helper threads sharing the fish of each iteration; none with one thread
  // per chain. Started and stopped by the chain's own thread.
  std::unique_ptr<ChainWorkers> workers;
  int32_t resume = 0;  // 1: continue from the restart file
  // The chain's restart file exists but was refused (damaged, or from
  // another run). Such a chain is not started unless it is rerun: starting
  // it afresh would throw its samples away.
  bool restartRefused = false;
  // What the last refusal of the restart file said, for a front end that
  // tells it again when the chain is asked to start.
  std::string restartRefusal;
  // Set by the chain thread as it moves through an iteration; shown while it
  // runs and judged only after the join. Relaxed for the same reason as
  // iteration.
  std::atomic<int32_t> phase{kPhaseInitDone};
  ChainClock clock;
  int32_t priority = 1;

  // Restart file and the temporary file it is written through; set when
  // first needed (RestartFilePath), so a save allocates nothing.
  std::string restartPath;
  std::string restartTempPath;

  // The lock that keeps other processes off this chain while it is prepared
  // or runs here (chain_lock.h); -1 when not held.
  int lockFd = -1;
  std::string lockPath;
};

// Sizes every sampler array for the chain's run and zero-fills it (origins 0,
// factors 1), and indexes the alleles of every fish. Alleles outside 1 .. A
// count as missing. Returns 1; 0 when the run's counts do not describe arrays
// the sampler can index; kArraysOutOfMemory when memory ran out, with
// nothing left allocated.
inline constexpr int kArraysOutOfMemory = -1;
int AllocateSamplerArrays(Chain& chain);

// Releases the sampler arrays.
void ReleaseSamplerArrays(Chain& chain);

}  // namespace mixora
