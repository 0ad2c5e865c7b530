#include "sampler/chain_workers.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <functional>
#include <memory>
#include <system_error>

#include "sampler/chain.h"

namespace mixora {
namespace {

// Piece `piece` of the band job: its band's fish range.
void RunPiece(ChainWorkers& w, int32_t piece) {
  SamplerArrays& a = *w.arrays;
  const int32_t band = piece / w.bandPieces, part = piece % w.bandPieces;
  const int32_t first = RangeStart(a.fish, w.bandPieces, part);
  const int32_t end = RangeStart(a.fish, w.bandPieces, part + 1);
  if (first < end) w.bandJob(a, band, first, end);
}

// Takes pieces until none is left (or the helpers are told to stop), each
// once its band's stocks are ready.
void RunBands(ChainWorkers& w) {
  const int32_t pieces = w.bandCount * w.bandPieces;
  for (;;) {
    if (w.stopping.load(std::memory_order_acquire)) return;
    const int32_t piece = w.nextPiece.fetch_add(1, std::memory_order_relaxed);
    if (piece >= pieces) return;
    const int32_t need = w.bandNeeds[piece / w.bandPieces];
    for (int32_t ready = w.stocksReady.load(std::memory_order_acquire); ready < need;
         ready = w.stocksReady.load(std::memory_order_acquire)) {
      if (w.stopping.load(std::memory_order_acquire)) return;
      w.stocksReady.wait(ready, std::memory_order_acquire);
    }
    RunPiece(w, piece);
  }
}

void RunPart(ChainWorkers& w, int32_t part) {
  SamplerArrays& a = *w.arrays;
  const int32_t first = RangeStart(a.fish, w.parts, part);
  const int32_t end = RangeStart(a.fish, w.parts, part + 1);
  if (first < end) w.job(a, first, end);
}

int64_t OwnCpuNanoseconds() {
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A helper's processor time goes into the records as it grows, so a chain's
// figure counts all the cores it keeps busy.
struct CpuReporter {
  HelperRecords* records;
  int64_t reported = 0;
  void Report() {
    if (records == nullptr) return;
    const int64_t now = OwnCpuNanoseconds();
    records->cpuNanoseconds.fetch_add(now - reported, std::memory_order_relaxed);
    reported = now;
  }
};

void HelperLoop(ChainWorkers& w, int32_t part) {
  HelperRecords* records = w.records;
  std::atomic<int32_t>* id =
      records != nullptr ? &records->systemIds[static_cast<std::size_t>(part - 1)] : nullptr;
  if (id != nullptr) id->store(static_cast<int32_t>(syscall(SYS_gettid)), std::memory_order_release);
  CpuReporter cpu{records};
  uint32_t seen = 0;
  for (;;) {
    w.generation.wait(seen, std::memory_order_acquire);
    seen = w.generation.load(std::memory_order_acquire);
    if (w.stopping.load(std::memory_order_acquire)) break;
    if (w.bandJob != nullptr) {
      RunBands(w);
    } else {
      RunPart(w, part);
    }
    cpu.Report();
    if (w.remaining.fetch_sub(1, std::memory_order_acq_rel) == 1) w.remaining.notify_one();
  }
  cpu.Report();
  if (id != nullptr) id->store(0, std::memory_order_release);
}

}  // namespace

ChainWorkers::~ChainWorkers() {
  stopping.store(true, std::memory_order_release);
  generation.fetch_add(1, std::memory_order_release);
  generation.notify_all();
  // A helper may be waiting for stocks that will never be announced; a wait
  // wakes only on a changed value, so the value changes.
  stocksReady.store(INT32_MAX, std::memory_order_release);
  stocksReady.notify_all();
  for (std::thread& t : helpers) {
    if (t.joinable()) t.join();
  }
}

int32_t RangeStart(int32_t fish, int32_t parts, int32_t part) {
  if (part >= parts) return fish;
  const int64_t at = (static_cast<int64_t>(fish) * part / parts + 2) / 4 * 4;
  return static_cast<int32_t>(std::min<int64_t>(at, fish));
}

int StartChainWorkers(Chain& chain, int32_t threads, HelperRecords* records, std::string* failure) {
  StopChainWorkers(chain);
  threads = std::clamp(threads, 1, kMaxThreadsPerChain);
  if (threads == 1) return 1;
  auto workers = std::make_unique<ChainWorkers>();
  workers->parts = threads;
  workers->records = records;
  try {
    for (int32_t part = 1; part < threads; ++part)
      workers->helpers.emplace_back(HelperLoop, std::ref(*workers), part);
  } catch (const std::system_error& e) {
    // The helpers already started are stopped and joined as the workers go.
    if (failure != nullptr) *failure = e.code().message();
    return 0;
  }
  chain.workers = std::move(workers);
  return 1;
}

void StopChainWorkers(Chain& chain) { chain.workers.reset(); }

namespace {

// Announces the job in w (set by the caller) to every helper.
void Announce(ChainWorkers& w) {
  w.remaining.store(w.parts - 1, std::memory_order_relaxed);
  w.generation.fetch_add(1, std::memory_order_release);
  w.generation.notify_all();
}

void WaitForHelpers(ChainWorkers& w) {
  for (int32_t left = w.remaining.load(std::memory_order_acquire); left != 0;
       left = w.remaining.load(std::memory_order_acquire)) {
    w.remaining.wait(left, std::memory_order_acquire);
  }
}

}  // namespace

bool StartBands(Chain& chain, BandJob job, int32_t bandCount, const int32_t* bandNeeds) {
  ChainWorkers* w = chain.workers.get();
  if (w == nullptr) return false;
  FinishBands(chain);
  w->bandJob = job;
  w->bandCount = bandCount;
  w->bandNeeds = bandNeeds;
  w->arrays = &chain.arrays;
  w->bandPieces = 2 * w->parts;
  w->nextPiece.store(0, std::memory_order_relaxed);
  w->stocksReady.store(0, std::memory_order_relaxed);
  w->bandJobRunning = true;
  Announce(*w);
  return true;
}

void StocksReady(Chain& chain, int32_t stocks, bool wake) {
  ChainWorkers* w = chain.workers.get();
  if (w == nullptr || !w->bandJobRunning) return;
  w->stocksReady.store(stocks, std::memory_order_release);
  if (wake) w->stocksReady.notify_all();
}

bool BandsRunning(const Chain& chain) {
  const ChainWorkers* w = chain.workers.get();
  return w != nullptr && w->bandJobRunning;
}

void FinishBands(Chain& chain) {
  ChainWorkers* w = chain.workers.get();
  if (w == nullptr || !w->bandJobRunning) return;
  // Every stock is ready once the chain's thread asks for the rest.
  w->stocksReady.store(INT32_MAX, std::memory_order_release);
  w->stocksReady.notify_all();
  const int32_t pieces = w->bandCount * w->bandPieces;
  for (int32_t piece = w->nextPiece.fetch_add(1, std::memory_order_relaxed); piece < pieces;
       piece = w->nextPiece.fetch_add(1, std::memory_order_relaxed)) {
    RunPiece(*w, piece);
  }
  WaitForHelpers(*w);
  w->bandJob = nullptr;
  w->bandJobRunning = false;
}

void ShareFish(Chain& chain, FishJob job) {
  SamplerArrays& a = chain.arrays;
  ChainWorkers* w = chain.workers.get();
  if (w == nullptr) {
    job(a, 0, a.fish);
    return;
  }
  FinishBands(chain);
  w->job = job;
  w->arrays = &a;
  Announce(*w);
  RunPart(*w, 0);
  WaitForHelpers(*w);
}

}  // namespace mixora
