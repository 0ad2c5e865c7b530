#pragma once
// Conversion of a run's binary chain sample files for other tools: stock
// assignments to the old ASCII layout, stock compositions (by stock, or
// summed by the groups of a grouping level) to one text line per record or
// to binary graph files.
#include <cstdint>
#include <cstdio>
#include <string>

#include "reports/report_job.h"
#include "runfiles/sample_file_reader.h"

namespace mixora {

inline constexpr uint32_t kGraphBlockCapacity = 1000;
inline constexpr uint32_t kGraphElementSize = 2;

// The output of one conversion in `folder`: chain from 0, kind one of
// kConvertAssignments, kConvertComposition, kConvertGroups; level from 0
// (groups only). Assignments are always ASCII.
std::string ConversionOutputPath(const RunRecord& run, const std::string& folder, int chain,
                                 uint32_t kind, bool binaryGraph, int level);

// Records of a chain passed over: P = L - Keep, never below 0, in
// composition records; in assignment records it covers the same iterations.
uint32_t ConversionSkip(const ReportJob& job, bool assignments);

// The composition value in tenths of a percent, rounded to nearest.
uint16_t GraphValue(uint64_t scaled);

// Writes the chain's assignment records after the skipped ones to output,
// one line per mixture individual with a 4-character column per stock.
// Returns 1 when every record was written.
int ConvertAssignmentsToAscii(ReportJob& job, SampleFileReader& source, int chain,
                              std::FILE* output);

// Writes the chain's composition records after the skipped ones: as ASCII
// lines numbered from the file's start, or (binaryGraph) as a graph header
// and blocks of at most 1000 records; by groups, each record is first summed
// by the groups of the current level. Returns 1 when every record was written.
int ConvertCompositionFile(ReportJob& job, SampleFileReader& source, std::FILE* output,
                           bool groups, bool binaryGraph, int chain);

// ConvertCompositionFile as a binary graph, then the trailing blocks of
// identifiers and names of the stocks (or the current level's groups).
int WriteGraphTrailer(ReportJob& job, bool groups, int chain, SampleFileReader& source,
                      std::FILE* output);

// The report runner's entry for one pass: converts what job.conversion.flags
// ask for, chain by chain, into job.conversion.folder. The first failure is
// shown and ends the conversion with 0 (files already written stay).
int ConvertOutputs(ReportJob& job, bool byRegion);

}  // namespace mixora
