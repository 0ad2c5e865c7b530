#pragma once
// Reading Genepop files whose individuals carry their stock label as their
// name: the title line ("Label ..."), the locus names, the "POP" lines and the
// individuals with their two allele codes per locus.
#include <cstdint>
#include <string>
#include <vector>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "core/text_file.h"

namespace mixora {

inline constexpr int kGenepopCodeLimit = 1000;  // allele codes 0..999; 0 is missing

// The baseline as read, with the alleles counted.
struct GenepopSet {
  std::string title;
  int32_t locusNameWidth = 0;  // longest locus name plus terminator, rounded up to 4
  std::vector<std::string> locusNames;
  std::vector<int32_t> distinctAlleles;  // [locus]: codes 1..999 seen anywhere
  int32_t labelWidth = 0;                // longest label plus terminator, rounded up to 4
  std::vector<int32_t> stockNumbers;     // [population]
  std::vector<std::string> stockNames;   // [population]: label of its last individual
  std::vector<int32_t> populationSize;   // [population]: individuals read
  std::vector<int32_t> alleleTable;      // [locus * 1000 + code]: copies in the whole file
  int32_t individualCount = 0;
  std::vector<int32_t> individualPopulation;  // [individual]
  std::vector<int32_t> codes;                 // [(individual * loci + locus) * 2 + j]
  std::vector<std::string> messages;          // "Info:" notes made while reading
  // Groups of the first level for the control file; empty: one "Dummy" group.
  std::vector<std::string> groupNames;
  std::vector<int32_t> stockGroup;  // [population]: index into groupNames
};

// The parts of a label file shared by the baseline and the mixture readers.
struct GenepopLabelFile {
  TextFile text;
  int titleLine = -1;       // index of the "Label" line
  std::string title;        // the text after the word "Label"
  std::vector<std::string> locusNames;
  int populationStart = 0;  // index of the first line after the loci
};

// True for a line (already trimmed) that opens a population: it begins with
// "POP" in any case and is not an individual whose name merely starts with
// those letters ("Poplar_01, 0102 ...").
bool IsGenepopPopLine(const std::string& trimmed);

// True for a line (already trimmed) that is neither data nor a population:
// empty, or a "!" or "\" comment.
inline bool IsGenepopSkippedLine(const std::string& trimmed) { return IsSkippedLine(trimmed); }

// Splits an individual line (already trimmed) into its name (text before the
// first comma, trailing white space removed) and its codes, two per locus,
// into `codes` when it is not null. Each token is 4 digits (two 2-digit codes)
// or 6 digits (two 3-digit codes). Returns 0, kErrCannotParseLine or
// kErrCharacterCountMismatch with `problem` describing the fault.
ErrorFlags ParseGenepopIndividual(const std::string& trimmed, int locusCount, std::string& name,
                                  int32_t* codes, std::string& problem);

// The name of an individual as a stock label: cut at its first blank or tab.
std::string GenepopLabelOf(const std::string& name);

// Reads the file and its head: the "Label" line (the first data line, a
// leading byte order mark ignored) and the locus names up to the first "POP"
// line. `kind` ("Baseline" or "Mixture") goes into "Reading %s file: %s" and
// `notLabelMessage` is the format logged with the file name when the first
// line is not a "Label" line. Returns 0, or -1 after logging the problem.
int OpenGenepopLabelFile(const std::string& path, const char* kind, const char* notLabelMessage,
                         GenepopLabelFile& file, LogBuffer& log);

// Reads a label baseline into `set` and counts its alleles. Returns 0, or the
// error flags of the first bad line (logged with its line number), or -1 when
// the file cannot be opened or has no "Label" line or no locus.
int ReadGenepopLabelBaseline(const std::string& path, GenepopSet& set, LogBuffer& log);

// Name slot width of the conversion: longest plus terminator, rounded up to 4.
inline int32_t GenepopNameWidth(std::size_t longest) {
  return static_cast<int32_t>((longest + 1 + 3) / 4 * 4);
}

}  // namespace mixora
