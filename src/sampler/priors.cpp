#include "sampler/priors.h"

#include <cmath>
#include <cstdio>

#include "core/string_format.h"
#include "sampler/variates.h"

namespace mixora {
namespace {

int IndexOfId(std::span<const int32_t> ids, int32_t id) {
  for (std::size_t i = 0; i < ids.size(); ++i)
    if (ids[i] == id) return static_cast<int>(i);
  return -1;
}

}  // namespace

StartStocks ChooseStartStocks(const StartStocks& runStartStocks,
                              std::span<const int32_t> stockIds,
                              std::span<const StartStocks> earlier, CRandState& crand) {
  StartStocks chosen = runStartStocks;
  if (earlier.empty() || stockIds.empty()) return chosen;
  std::size_t used = 0;
  while (used < chosen.size() && chosen[used] != -1) ++used;

  // Distinct IDs in the run: once every one of them stands in an earlier
  // slot of this chain, no candidate can pass the duplicate test.
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < stockIds.size(); ++i)
    if (IndexOfId(stockIds.first(i), stockIds[i]) < 0) ++distinct;

  const int64_t S = static_cast<int64_t>(stockIds.size());
  int rejected = 0;
  for (std::size_t j = 0; j < used;) {
    const int32_t r = CRandNext(crand);
    const int32_t candidate = stockIds[static_cast<std::size_t>(r * S / (kCRandMax + 1))];
    chosen[j] = candidate;
    if (rejected > 100) break;
    bool takenEarlier = false;
    for (const StartStocks& other : earlier)
      if (other[j] == candidate) takenEarlier = true;
    if (takenEarlier) {
      ++rejected;
      continue;
    }
    bool repeated = false;
    for (std::size_t i = 0; i < j; ++i)
      if (chosen[i] == candidate) repeated = true;
    if (repeated) {
      // With every stock already taken by this chain and no earlier chain
      // holding a stock of the run in this slot, no draw could ever end the
      // search (neither accepted nor counted as a rejection): keep the
      // candidate and stop, as the rejection limit does.
      if (j >= distinct) {
        bool canReject = false;
        for (const StartStocks& other : earlier)
          if (IndexOfId(stockIds, other[j]) >= 0) canReject = true;
        if (!canReject) break;
      }
      continue;
    }
    ++j;
  }
  return chosen;
}

ChainStart MakeChainStart(const RunSettings& settings, std::span<const int32_t> stockIds,
                          std::span<const StartStocks> earlier, CRandState& crand) {
  ChainStart start;
  const uint32_t k = static_cast<uint32_t>(earlier.size());
  uint32_t seed1 = static_cast<uint32_t>(settings.Seed1);
  uint32_t seed2 = static_cast<uint32_t>(settings.Seed2);
  if (settings.ChangeSeeds && k > 0) {
    // Wrapping arithmetic: a seed near the top of the range stays defined.
    seed1 += 2u * k;
    seed2 += 2u * k;
  }
  start.seed1 = static_cast<int32_t>(seed1);
  start.seed2 = static_cast<int32_t>(seed2);
  if (k == 0) CRandSeed(crand, static_cast<uint32_t>(start.seed1));
  start.startStocks = ChooseStartStocks(RunStartStocks(settings), stockIds, earlier, crand);
  return start;
}

void StartingProportions(bool informativePrior, std::span<const double> beta,
                         std::span<const int32_t> stockIds, StartStocks& startStocks,
                         std::span<double> proportions) {
  const int S = static_cast<int>(stockIds.size());
  if (S == 0) return;
  if (informativePrior) {
    for (int s = 0; s < S; ++s) proportions[s] = beta[s];
    DivideBy(proportions.data(), SumOf(proportions.data(), S), S);
    return;
  }
  int index[4];
  int M = 0;
  for (std::size_t j = 0; j < startStocks.size() && startStocks[j] != -1; ++j) {
    int at = IndexOfId(stockIds, startStocks[j]);
    if (at < 0) {
      // An entry beyond the run's stocks has no stock at its position: it
      // takes the last one rather than reading past the list.
      at = static_cast<int>(j) < S ? static_cast<int>(j) : S - 1;
      startStocks[j] = stockIds[at];
    }
    index[M++] = at;
  }
  if (M == 0) {
    for (int s = 0; s < S; ++s) proportions[s] = 1.0 / S;
    return;
  }
  // With as many start entries as stocks (repeats included) there is no rest
  // to share 10%: it gets nothing instead of a division by zero or a negative
  // share.
  const double rest = M < S ? 0.1 / (S - M) : 0.0;
  for (int s = 0; s < S; ++s) proportions[s] = rest;
  for (int j = 0; j < M; ++j) proportions[index[j]] = 0.9 / M;
  DivideBy(proportions.data(), SumOf(proportions.data(), S), S);
}

void WriteChainStartBlock(std::string& out, const StartStocks& startStocks,
                          std::span<const int32_t> groupIds, std::span<const int32_t> stockIds,
                          std::span<const std::string> stockNames,
                          std::span<const double> proportions) {
  out += "\r\n----------STOCKS USED IN ANALYSIS-----------\r\n";
  AppendFormat(out, "StartStocks: %s\r\n", FormatStartStocks(startStocks).c_str());
  out += "GROUP COUNT   ID#     POPULATION          STARTING POINT\r\n";
  for (std::size_t s = 0; s < stockIds.size(); ++s)
    AppendFormat(out, "%4d   %3d    %3d     %-18.18s  %7.6lf\r\n", groupIds[s],
                 static_cast<int>(s + 1), stockIds[s], stockNames[s].c_str(), proportions[s]);
}

void WriteChainStartBlock(std::string& out, const RunRecord& run, const StartStocks& startStocks,
                          std::span<const double> proportions) {
  std::vector<int32_t> groupIds(run.stockId.size(), 0);
  if (!run.groupAt.empty()) {
    const std::vector<int32_t>& level0 = run.groupAt[0];
    const bool byPosition = !run.levelGroupId.empty();
    for (std::size_t s = 0; s < groupIds.size() && s < level0.size(); ++s) {
      const int32_t g = level0[s];
      if (!byPosition)
        groupIds[s] = g;
      else if (g >= 0 && static_cast<std::size_t>(g) < run.levelGroupId[0].size())
        groupIds[s] = run.levelGroupId[0][static_cast<std::size_t>(g)];
    }
  }
  WriteChainStartBlock(out, startStocks, groupIds, run.stockId, run.stockNames, proportions);
}

}  // namespace mixora
