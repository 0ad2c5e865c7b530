#pragma once
// Conversion of Genepop files whose individuals carry their stock label as
// their name ("Label" files) into a SPAM baseline and a Genepop-layout mixture
// recoded for that baseline, with an optional matching text control file.
#include <string>

#include "core/log_buffer.h"

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

}  // namespace mixora
