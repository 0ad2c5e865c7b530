#include "diagnostics/gelman_rubin_report.h"

#include "diagnostics/gelman_rubin.h"
#include "diagnostics/identical_chains.h"

namespace mixora {

int WriteGelmanRubinSection(std::FILE* out, const SampleArrayView& samples, int32_t length,
                            const DiagnosticLayout& layout, const Interaction& ui,
                            const std::function<bool()>& aborted) {
  const int K = samples.rows;
  const int m = samples.chains;
  const int n = samples.records;

  ReportPrintf(out, "\r\nGelman and Rubin Shrink Factors:\r\n");
  ReportPrintf(out, "--------------------------------\r\n");
  ReportPrintf(out, "Length of chain:  %d\r\n", length);
  ReportPrintf(out, "Length used:      %d\r\n", n);
  ReportPrintf(out, "Number of chains: %d\r\n\r\n", m);
  for (int c = 0; c < m; ++c) {
    WriteChainLabel(out, layout, c, "");
    ReportPrintf(out, "\r\n");
  }
  ReportPrintf(out, "\r\n");
  ReportPrintf(out, "%s              Estimate     97.5%% quantile\r\n",
               layout.ByRegion() ? "GROUP" : "STOCK");
  ReportPrintf(out, "----------------------------------------------\r\n");

  const char* caption = "Computing Factors - Est";
  ReportPassProgress(ui, caption, 0, K);
  for (int k = 0; k < K; ++k) {
    ShrinkFactors factors;
    GelRubin(samples.Row(k), factors, n, m);
    const char* name = k < static_cast<int>(layout.rowNames.size()) ? layout.rowNames[k].c_str() : "";
    ReportPrintf(out, "%-18.18s %6.2lf           %6.2lf\r\n", name, factors.estimate,
                 factors.quantile97);
    if (aborted && aborted()) return 0;
    ReportPassProgress(ui, caption, k + 1, K);
  }
  // Identical chains give factors of exactly 1, which read as a clean bill.
  if (ChainsAreIdentical(samples))
    ReportPrintf(out, "\r\nNote: %s\r\n", IdenticalChainsNote(m).c_str());
  std::fflush(out);
  ReportPassProgress(ui, caption, K, K);
  // A full disk must not pass for a finished report.
  return std::ferror(out) ? 0 : 1;
}

}  // namespace mixora
