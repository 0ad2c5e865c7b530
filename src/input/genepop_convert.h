#pragma once
// Conversion of Genepop files whose individuals carry their stock label as
// their name ("Label" files) into a SPAM baseline and a Genepop-layout mixture
// recoded for that baseline, with an optional matching text control file.
#include <cstdint>
#include <string>
#include <vector>

#include "core/log_buffer.h"
#include "input/genepop_label.h"

namespace mixora {

// Results of ConvertGenepopLabel.
enum GenepopConvertStatus : int {
  kGenepopOk = 0,
  kGenepopNoMemory = 1,        // the data set could not be created
  kGenepopBaselineFailed = 2,  // the baseline could not be read or converted
  kGenepopMixtureFailed = 3,   // the mixture could not be converted
  kGenepopLocusTableFailed = 4,
  kGenepopControlFailed = 5,   // the text control file could not be written
};

// Converts the baseline `baselineIn` into the SPAM baseline `baselineOut`,
// and, when `mixtureIn` is not empty, the mixture into `mixtureOut` with every
// allele written as its position in the baseline's list for that locus. When
// `controlOut` is not empty a text control file naming both outputs is written
// after a successful conversion. Every message goes to `log`. Files already
// written stay on disk when a later step fails. Returns a GenepopConvertStatus.
int ConvertGenepopLabel(const std::string& baselineIn, const std::string& mixtureIn,
                        const std::string& baselineOut, const std::string& mixtureOut,
                        const std::string& controlOut, LogBuffer& log);

// The output name of a converted file: "_Mixora" inserted before the last "."
// of the file name (chum.gen -> chum_Mixora.gen); a file name without "." gets
// "_Mixora" appended, so an output never names its own input.
std::string GenepopOutputName(const std::string& inputName);

// The writers of the converted files, shared with the importers of other
// layouts. Each returns 1 when every byte was written, else 0.

// One "#%03d %s" block per population that has individuals (in the order of
// the individuals, which must come population by population), with a count
// for every allele code the whole set holds at a locus.
int WriteSpamBaselineOfSet(const GenepopSet& set, const std::string& path);

// The text control file of a converted set: its stocks in one "Dummy" group,
// or in set.groupNames when the set has groups. The file names are written
// bare when they lie beside the control file. `description` is the BaseDesc
// line, empty for a Genepop Label conversion's own.
int WriteGenepopControlFile(const GenepopSet& set, const std::string& path,
                            const std::string& baselineOut, const std::string& mixtureOut,
                            const std::string& description = std::string());

// A mixture whose alleles are already positions in the baseline's lists.
struct PositionedMixture {
  std::string title;
  std::vector<std::string> locusNames;
  std::vector<std::string> popLines;    // written as they are, one per population
  std::vector<int32_t> fishPopulation;  // [fish]: index into popLines, non-decreasing
  std::vector<std::string> fishNames;
  std::vector<int32_t> positions;       // [(fish * loci + locus) * 2 + j], 0 missing
};

// The Genepop-layout mixture the rest of the system reads: title, loci, each
// population's line followed by its fish with " %03d%03d" per locus.
int WritePositionedMixture(const PositionedMixture& mixture, const std::string& path);

}  // namespace mixora
