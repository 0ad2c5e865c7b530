#pragma once
// The individual assignment report ("Stock Assignments"): for every mixture
// individual the share of kept samples that assigned it to each stock, and
// its five most frequent stocks, as a text report and a comma-separated
// file.
#include <cstdint>
#include <string>

#include "reports/report_job.h"
#include "runfiles/run_record.h"

namespace mixora {

// The identifier of a stock's group at the first grouping level (0 when the
// run has no levels).
int32_t FirstLevelGroupId(const RunRecord& run, uint32_t stock);

// ", %s" with the message of every problem flag (high 16 bits of an excluded
// individual's word) from bit 0 upward.
std::string ExclusionReasons(int32_t word);

// The report runner's entry: writes the text report to job.out and the
// comma-separated file ("Csv") beside it. The grouping flag is not used.
// Returns 1 on success, 0 when a chain's file cannot be read or the report
// was aborted. A comma-separated file that cannot be created is reported
// and leaves the text report standing (result 1).
int AssignmentReport(ReportJob& job, bool byRegion);

}  // namespace mixora
