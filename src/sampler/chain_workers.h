#pragma once
// Helper threads of one chain. The likelihoods and origin weights of a fish
// depend on nothing but the fish, the frequencies and the proportions, so an
// iteration can share its fish out among several threads over disjoint
// ranges; each fish's numbers are computed exactly as one thread computes
// them, and everything that draws random numbers stays on the chain's thread.
// The helpers live as long as the chain thread and sleep between jobs.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace mixora {

struct Chain;
struct SamplerArrays;

// Work on fish first .. end - 1.
using FishJob = void (*)(SamplerArrays& arrays, int32_t first, int32_t end);

// Work on band `band` of the stocks, for fish first .. end - 1.
using BandJob = void (*)(SamplerArrays& arrays, int32_t band, int32_t first, int32_t end);

// Most threads one chain may use.
inline constexpr int32_t kMaxThreadsPerChain = 64;

// What a chain's helpers leave where the front end can see them, beside the
// chain thread's own records: their system thread ids, so that a priority
// given to the chain reaches them too, and the processor time they used.
struct HelperRecords {
  // One per helper; 0 while it does not run. Store and load with release
  // and acquire, like the chain thread's own id.
  std::array<std::atomic<int32_t>, kMaxThreadsPerChain> systemIds{};
  // Summed over the helpers since the chain was last started (relaxed: a
  // display figure, read again after the helpers are joined).
  std::atomic<int64_t> cpuNanoseconds{0};
};

struct ChainWorkers {
  ChainWorkers() = default;
  ChainWorkers(const ChainWorkers&) = delete;
  ChainWorkers& operator=(const ChainWorkers&) = delete;
  ~ChainWorkers();

  std::vector<std::thread> helpers;
  int32_t parts = 1;  // helpers + the chain's own thread
  // A new job is announced by raising generation; each helper lowers
  // remaining when its range is done.
  std::atomic<uint32_t> generation{0};
  std::atomic<int32_t> remaining{0};
  std::atomic<bool> stopping{false};
  FishJob job = nullptr;
  SamplerArrays* arrays = nullptr;
  HelperRecords* records = nullptr;  // may be none

  // A band job runs beside the chain's own thread instead of holding it:
  // the helpers take bands in turn, each once the stocks it needs are
  // ready. bandNeeds[b] is the number of leading stocks band b needs.
  BandJob bandJob = nullptr;
  int32_t bandCount = 0;
  const int32_t* bandNeeds = nullptr;
  // Bands are handed out in pieces of fish (bandPieces per band), so that
  // the last pieces come out even among the threads.
  int32_t bandPieces = 1;
  std::atomic<int32_t> nextPiece{0};
  std::atomic<int32_t> stocksReady{0};
  bool bandJobRunning = false;  // the chain's own thread only
};

// Gives the chain threads - 1 helpers (threads is clamped to
// 1 .. kMaxThreadsPerChain; 1 means none). Call on the chain's own thread,
// so the helpers inherit its scheduling priority. With records, each helper
// enters its system id there while it runs and adds its processor time
// after every job and as it ends. Returns 1, or 0 when the system would not
// create every helper (a per-user process limit, say): then the chain has
// no helpers and `failure`, when given, holds the system's reason.
int StartChainWorkers(Chain& chain, int32_t threads, HelperRecords* records = nullptr,
                      std::string* failure = nullptr);

// Ends and joins the chain's helpers, if it has any.
void StopChainWorkers(Chain& chain);

// Runs job over all fish of the chain: with helpers, as one disjoint range
// per thread (the chain's own thread takes the first), returning when every
// range is done; without, as one range on the calling thread.
void ShareFish(Chain& chain, FishJob job);

// Starts job over bands 0 .. bandCount - 1 on the helpers and returns at
// once; each band is handed out in pieces of fish, and a piece of band b
// waits until StocksReady has announced bandNeeds[b] stocks.
// Without helpers it does nothing and returns false: the caller then does
// the work itself later. bandNeeds must stay valid until FinishBands.
bool StartBands(Chain& chain, BandJob job, int32_t bandCount, const int32_t* bandNeeds);

// The first `stocks` stocks are ready for the band job (release: what the
// chain's thread wrote for them is seen by the helper that takes a band).
// wake: some band may be waiting for exactly these.
void StocksReady(Chain& chain, int32_t stocks, bool wake);

// Whether a band job runs (started and not yet finished).
bool BandsRunning(const Chain& chain);

// Takes the bands no helper has taken yet on the calling (chain's) thread,
// every stock being ready by now, and returns when all bands are done.
// Nothing when no band job runs.
void FinishBands(Chain& chain);

// The first fish of range `part` of `parts` over `fish` fish: ranges start
// at multiples of four, so the side-by-side kernels run full.
int32_t RangeStart(int32_t fish, int32_t parts, int32_t part);

}  // namespace mixora
