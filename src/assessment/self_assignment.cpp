#include "assessment/self_assignment.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "core/string_format.h"
#include "reports/tidy_tables.h"
#include "reports/genotype_likelihood.h"

namespace mixora {

namespace {


int TopOf(const std::vector<double>& values) {
  int top = 0;
  for (std::size_t k = 1; k < values.size(); ++k)
    if (values[k] > values[top]) top = static_cast<int>(k);
  return top;
}

SelfAssignmentLevel SummariseLevel(const std::string& label,
                                   const std::vector<std::string>& names,
                                   const std::vector<int32_t>& unitOf, const FishGenotypes& fish,
                                   const std::vector<double>& posterior) {
  const int32_t S = fish.Stocks();
  const std::size_t U = names.size();
  SelfAssignmentLevel level;
  level.level = label;
  level.rows.resize(U);
  level.confusion.assign(U * U, 0);
  for (std::size_t u = 0; u < U; ++u) level.rows[u].name = names[u];
  std::vector<double> unitProbability(U);
  for (int32_t f = 0; f < fish.Fish(); ++f) {
    std::fill(unitProbability.begin(), unitProbability.end(), 0.0);
    for (int32_t s = 0; s < S; ++s)
      unitProbability[unitOf[s]] += posterior[static_cast<std::size_t>(f) * S + s];
    const int32_t own = unitOf[fish.fishStock[f]];
    const int top = TopOf(unitProbability);
    SelfAssignmentRow& row = level.rows[own];
    ++row.fish;
    row.shareOwn += top == own ? 1.0 : 0.0;
    row.meanOwn += unitProbability[own];
    ++level.confusion[own * U + top];
  }
  for (SelfAssignmentRow& row : level.rows) {
    if (row.fish == 0) continue;
    row.shareOwn /= row.fish;
    row.meanOwn /= row.fish;
  }
  return level;
}

}  // namespace

SelfAssignment AssessSelfAssignment(const FishGenotypes& fish,
                                    const std::vector<double>& allelePrior) {
  int32_t A = 0;
  std::vector<int32_t> counts = CountStockAlleles(fish, A);
  const int32_t S = fish.Stocks();
  const int32_t C = fish.Loci();
  std::vector<int32_t> alleleCount(static_cast<std::size_t>(C));
  for (int32_t c = 0; c < C; ++c) alleleCount[c] = fish.AlleleCount(c);
  const std::vector<double> prior =
      allelePrior.empty() ? ReciprocalAllelePrior(alleleCount, A) : allelePrior;

  SelfAssignment result;
  result.posterior.assign(static_cast<std::size_t>(fish.Fish()) * S, 0.0);
  std::vector<double> logLikelihood(static_cast<std::size_t>(S));
  for (int32_t f = 0; f < fish.Fish(); ++f) {
    const int32_t own = fish.fishStock[f];
    for (int32_t s = 0; s < S; ++s) {
      double sum = 0.0;
      for (int32_t c = 0; c < C; ++c) {
        const int32_t a = fish.At(f, c, 0), b = fish.At(f, c, 1);
        if (a <= 0 || b <= 0) continue;
        int32_t* n = counts.data() + (static_cast<std::size_t>(s) * C + c) * A;
        // The fish's own copies are left out of its stock while it is judged.
        if (s == own) {
          --n[a - 1];
          --n[b - 1];
        }
        sum += LogGenotypePredictive(n, prior.data() + static_cast<std::size_t>(c) * A,
                                     alleleCount[c], a, b);
        if (s == own) {
          ++n[a - 1];
          ++n[b - 1];
        }
      }
      logLikelihood[s] = sum;
    }
    // In log space to the end: products over many loci underflow doubles.
    const double top = *std::max_element(logLikelihood.begin(), logLikelihood.end());
    double total = 0.0;
    for (int32_t s = 0; s < S; ++s) total += std::exp(logLikelihood[s] - top);
    for (int32_t s = 0; s < S; ++s)
      result.posterior[static_cast<std::size_t>(f) * S + s] =
          std::exp(logLikelihood[s] - top) / total;
  }

  std::vector<int32_t> own(static_cast<std::size_t>(S));
  for (int32_t s = 0; s < S; ++s) own[s] = s;
  result.levels.push_back(SummariseLevel("stock", fish.stockNames, own, fish, result.posterior));
  for (int32_t v = 0; v < fish.Levels(); ++v)
    result.levels.push_back(SummariseLevel(StringPrintf("group level %d", v + 1),
                                           fish.groupNames[v], fish.stockGroup[v], fish,
                                           result.posterior));
  return result;
}

std::string FormatSelfAssignmentText(const SelfAssignment& result, const std::string& source,
                                     const std::string& priorText) {
  std::string out;
  out += "Baseline self-assignment (leave one out):\r\n";
  out += "-----------------------------------------\r\n";
  out += StringPrintf("Baseline:     %s\r\n", source.c_str());
  out += StringPrintf("Allele prior: %s\r\n", priorText.c_str());
  out += "Stock prior:  flat\r\n";
  for (const SelfAssignmentLevel& level : result.levels) {
    std::size_t width = 18;
    for (const SelfAssignmentRow& row : level.rows) width = std::max(width, row.name.size());
    const int w = static_cast<int>(width);
    out += StringPrintf("\r\nBy %s:\r\n", level.level.c_str());
    out += StringPrintf("%-*s %6s %9s %9s\r\n", w, level.level == "stock" ? "STOCK" : "GROUP",
                        "FISH", "CORRECT%", "MEANPROB");
    for (const SelfAssignmentRow& row : level.rows)
      out += StringPrintf("%-*s %6d %9.1f %9.3f\r\n", w, row.name.c_str(), row.fish,
                          row.shareOwn * 100.0, row.meanOwn);
    if (level.level == "stock") continue;
    const std::size_t U = level.rows.size();
    out += StringPrintf("\r\nConfusion by %s (rows: true group, columns: assigned group):\r\n",
                        level.level.c_str());
    out += StringPrintf("%-*s", w, "");
    for (const SelfAssignmentRow& row : level.rows)
      out += StringPrintf(" %8.8s", row.name.c_str());
    out += "\r\n";
    for (std::size_t t = 0; t < U; ++t) {
      out += StringPrintf("%-*s", w, level.rows[t].name.c_str());
      for (std::size_t u = 0; u < U; ++u) out += StringPrintf(" %8d", level.confusion[t * U + u]);
      out += "\r\n";
    }
  }
  return out;
}

std::string FormatSelfAssignmentCsv(const SelfAssignment& result) {
  std::string out = "level,name,fish,correct_share,mean_own_probability\r\n";
  for (const SelfAssignmentLevel& level : result.levels)
    for (const SelfAssignmentRow& row : level.rows)
      out += StringPrintf("%s,%s,%d,%.6f,%.6f\r\n", CsvField(level.level).c_str(),
                          CsvField(row.name).c_str(), row.fish, row.shareOwn, row.meanOwn);
  return out;
}

std::string FormatConfusionCsv(const SelfAssignment& result) {
  std::string out = "level,true,assigned,fish\r\n";
  for (const SelfAssignmentLevel& level : result.levels) {
    const std::size_t U = level.rows.size();
    for (std::size_t t = 0; t < U; ++t)
      for (std::size_t u = 0; u < U; ++u)
        out += StringPrintf("%s,%s,%s,%d\r\n", CsvField(level.level).c_str(),
                            CsvField(level.rows[t].name).c_str(),
                            CsvField(level.rows[u].name).c_str(), level.confusion[t * U + u]);
  }
  return out;
}

}  // namespace mixora
