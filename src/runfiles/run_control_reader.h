#pragma once
// Reading the run control file, either whole (the load model view, used to
// rebuild text files from a run) or for the analysis of one mixture.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"

namespace mixora {

// The uncompressed content of a run control file and the read position.
struct RunControlContent {
  std::vector<uint8_t> bytes;
  std::size_t pos = 0;
};

// True when the first four bytes are those of the sample file magic: such a
// file (a sample or restart file) is never a run control file.
bool StartsWithSampleMagic(const uint8_t* bytes, std::size_t size);

// Decompresses the file's single block into content (positioned at 0).
// Messages: "Cannot Open\r\n%s\r\nfor Reading" when the file cannot be read,
// "Invalid File format:\r\n%s" when the block does not decompress. A file of
// fewer than 12 bytes, or one that starts like a sample file, is refused
// without a message. Returns true on success.
bool OpenRunControlContent(const std::string& path, const Interaction& ui, RunControlContent& content);

// OpenRunControlContent, then the version word and the settings, counts,
// characters, stocks and group-of-stock arrays. Leaves content positioned
// at the groups. A version byte other than 0 shows "Version %u binary
// format. Version%s supported only:\r\n%s"; sections that do not fit the
// content show "Invalid File format:\r\n%s". Returns none on failure.
std::unique_ptr<RunRecord> ReadRunControlCommon(const std::string& path, const Interaction& ui,
                                                RunControlContent& content);

// The whole file: groups in file order, baseline, priors, every mixture,
// every stored fish and every excluded fish. A failure after the common
// part shows "Error reading NewControl". Returns none on failure.
std::unique_ptr<RunRecord> ReadNewControl(const std::string& path, const Interaction& ui);

// The run for analysis of mixture p (from 0): groups arranged by level and
// stocks' group identifiers turned into positions within their level, the
// fish of mixture p only, the excluded fish of mixture p only, the path and
// p stored, and the run title (runTitle and settings.Title) set to the first
// 8 characters of the mixture title followed by "_POP_%02d" with p + 1.
// A p outside 0..P-1, or any failure after the common part, shows "Error
// reading pControl". A mixture none of whose fish take part in the run (all
// were left out at load) shows "Mixture %d (%s) has no fish that take part
// in the run:\r\n%s". Returns none on failure.
std::unique_ptr<RunRecord> ReadRunControl(const Interaction& ui, const std::string& path, int p);

// The number of stored fish of mixture p (from 0) of a record read whole
// (ReadNewControl): those that take part in the run.
int32_t MixtureFishCount(const RunRecord& whole, int p);

// The title of the run of mixture p: the first 8 characters of the mixture
// title, with characters that cannot stand in a file name replaced by "_",
// followed by "_POP_%02d" with p + 1.
std::string RunTitleFor(const std::string& mixtureTitle, int p);

// The same two reads over content already in memory (positioned at 0), for
// callers that hold the bytes; path only names the file in messages.
std::unique_ptr<RunRecord> DecodeNewControl(RunControlContent& content, const std::string& path,
                                            const Interaction& ui);
std::unique_ptr<RunRecord> DecodeRunControl(RunControlContent& content, const std::string& path,
                                            int p, const Interaction& ui);

}  // namespace mixora
