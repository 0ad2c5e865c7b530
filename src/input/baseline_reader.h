#pragma once
// Baseline files: telling their layout and reading the Talmo and SPAM
// layouts into the allele counts of a run definition.
#include <cstdint>
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "input/control.h"

namespace mixora {

// BaselineFormat of the file from its first data line: 2 SPAM ("#"),
// 1 Talmo (a digit), 4 GenepopLabel ("Label", any case), else 3 Genepop.
// -1 when the file cannot be opened; 0 when it holds no data line or is not
// a text file (binary data, an over-long line), so the load can say why.
int32_t ClassifyBaselineFile(const std::string& path);

// Blank lines and lines beginning with "\" or "!" are skipped; fields are
// separated by blanks or tabs in both layouts.
// Each reader replaces `baseline` with the file's contents and returns 0
// after logging "File parsed successfully"; -1 when the file cannot be
// opened; otherwise the flags of the refused line, which is named by file
// and line in the log (counts beyond the held maxima, a stock or character
// field that is not a number, text that is not a text file). Totals are not
// set; run SumBaselineTotals after a successful read.
ErrorFlags ReadTalmoBaseline(const std::string& path, BaselineData& baseline, LogBuffer& log);
ErrorFlags ReadSpamBaseline(const std::string& path, BaselineData& baseline, LogBuffer& log);

// Sets totals[s * C + c] to the sum of the first alleleCount[c] counts of
// character c in stock s.
void SumBaselineTotals(BaselineData& baseline);

}  // namespace mixora
