#pragma once
// The run summary file ("<Title>.Sum" beside the run control file): its head,
// which lists the whole setup of the analysis, and the texts of dates,
// durations and processor times that it and the chain logs end with.
#include <cstdint>
#include <cstdio>
#include <string>

#include "runfiles/run_record.h"

namespace mixora {

// The current local date and time as "MMM dd, yyyy HH:mm:ss".
std::string FormatDateTime();

// A duration in hundredths of a second, rounded to the second (a remainder
// above 50 hundredths rounds up): "m:ss", "h:mm:ss", or "d hh:mm:ss" from
// one day on.
std::string FormatDuration(uint64_t hundredths);

// Processor time (user plus system) of the whole process, in hundredths.
uint32_t ProcessCpuTime();

// The head of a new summary, dated dateTime: program and date, title, files,
// options, control parameters, thinning, characters, groups per level,
// starting stocks, the stocks with their priors and the group list.
std::string FormatSummaryHead(const RunRecord& run, const std::string& dateTime);

// The "GROUPINFO" block: every group of every level as "level id name".
std::string FormatGroupInfo(const RunRecord& run);

// Write the texts above into the run's open summary (nothing when none is
// open), the head dated now. Return 1 when every byte was written.
int WriteSummaryHead(const RunRecord& run);
int WriteGroupInfo(const RunRecord& run);

// "Session ended: <date>, CPU: <duration>\r\n" with processor time cpu.
std::string FormatSessionEnded(const std::string& dateTime, uint64_t cpu);

}  // namespace mixora
