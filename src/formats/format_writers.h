#pragma once
// Writing a run (as read from a run control file) back out as the files of
// other programs: Talmo and SPAM baselines, digit-string and Genepop-layout
// mixtures, SPAM and text control files.
//
// Each Format... function returns the whole text (CR LF line ends). Each
// Write... function writes that text into `stream` when one is given, leaving
// it open, or otherwise creates `path` for binary writing and closes it.
// Writers return 1 when every byte was written, 0 when the file cannot be
// created or a write fails.
#include <cstdio>
#include <string>

#include "runfiles/run_record.h"

namespace mixora {

// One line per stock and character, stocks and characters by ascending ID:
// stock ID, character ID, the sum of the counts, then each allele count.
std::string FormatTalmoBaseline(const RunRecord& run);
int WriteTalmoBaseline(const RunRecord& run, const std::string& path, std::FILE* stream = nullptr);

// A "# %03d %s" header per stock by ascending ID, then one line per
// character by ascending ID: its name padded to 9 and its allele counts.
std::string FormatSpamBaseline(const RunRecord& run);
int WriteSpamBaseline(const RunRecord& run, const std::string& path, std::FILE* stream = nullptr);

// One line per individual: per character a field of one digit per allele
// type holding the copies of each allele, then five blanks and the name.
std::string FormatDigitMixture(const RunRecord& run);
int WriteDigitMixture(const RunRecord& run, const std::string& path, std::FILE* stream = nullptr);

// Title, character names, "POP" headers and one line per individual with
// its allele positions (2 digits each, or 3 when a character has more than 99
// allele types); rejected individuals follow their population as "\" comment
// lines naming their problems. With allPopulations every population record
// gets its header; otherwise only the run's current population
// (run.mixtureIndex) is written, as the run record for one mixture holds it.
std::string FormatGenepopMixture(const RunRecord& run, bool allPopulations);
int WriteGenepopMixture(const RunRecord& run, bool allPopulations, const std::string& path,
                        std::FILE* stream = nullptr);

// A SPAM control file: options, control parameters, characters, populations,
// regions and the file names of the run.
std::string FormatSpamControlFile(const RunRecord& run);
int WriteSpamControlFile(const RunRecord& run, const std::string& path,
                         std::FILE* stream = nullptr);

// A text control file made from the run: keywords, characters, stocks (with
// prior weights when the run has them) and groups.
std::string FormatRunTextControlFile(const RunRecord& run);
int WriteRunTextControlFile(const RunRecord& run, const std::string& path,
                            std::FILE* stream = nullptr);

// Writes text into stream (left open) or into a new file at path. Returns 1
// when every byte was written, else 0.
int WriteTextTo(const std::string& text, const std::string& path, std::FILE* stream);

}  // namespace mixora
