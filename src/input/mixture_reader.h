#pragma once
// Mixture files: telling their layout, reading the SPAM digit-string and the
// Genepop layouts into the fish genotypes of a run definition, and pairing
// the mixture's columns with the control file's characters.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "input/control.h"

namespace mixora {

// MixtureFormat of the file from its first data line: 1 SPAM (no letter),
// 3 GenepopLabel (a letter, and "Label" in any case first), else 2 Genepop.
// -1 when the file cannot be opened; 0 when it holds no data line or is not a
// text file, so the load can say why.
int32_t ClassifyMixtureFile(const std::string& path);

// Parses one SPAM fish line. `fieldCount` is the genotype field count of the
// lines before (0 before the first fish) and receives this line's count.
// `positions` holds each column's largest position; with `update` on it grows
// to the line's columns and takes the larger of itself and each field's
// width. When `pairs` is not empty it receives the two positions of each
// column (2 per column; 0 for an empty slot). A field that is not a genotype
// is the fish ID: `fishName` becomes "Fish ID <field>" (at most 255
// characters of it) and the rest of the line is ignored. Returns the flags
// of the first fault; more than 200 genotype fields give "Too many
// characters".
ErrorFlags ParseSpamGenotypeLine(const std::string& line, int32_t& fieldCount,
                                 std::vector<int32_t>& positions, std::span<int32_t> pairs,
                                 std::string& fishName, bool update);

// Each reader replaces `mixture` with the file's fish and returns 0 after
// logging "File parsed successfully"; -1 when the file cannot be opened;
// otherwise the flags of the first bad line, logged as "Fatal Error in Line
// %d:" with the line (lines counted from 1 as they stand in the file).
ErrorFlags ReadSpamMixture(const std::string& path, MixtureData& mixture, LogBuffer& log);
ErrorFlags ReadGenepopMixture(const std::string& path, MixtureData& mixture, LogBuffer& log);

// Pairs the mixture's columns with the control file's characters and sets
// charId (the ID of the character a column holds, -1 for a column that holds
// none). SPAM form (mixtureFormat 1): column i holds the i-th character that
// is not excluded; the column counts must agree. Genepop form (formats 2 and
// 3): each character that is not excluded is found among the locus names,
// whatever their order. A column with a higher allele position than its
// character allows fails. Returns 0 or the flags, after logging the outcome.
ErrorFlags ResolveMixtureCharacters(MixtureData& mixture, const CharacterBlock& characters,
                                    LogBuffer& log, int32_t mixtureFormat);

// True for a trimmed Genepop line that opens a sample: it begins with "POP"
// in any case, and is not an individual whose name merely starts so
// ("Poplar_01, 0102 ...").
bool IsPopLine(const std::string& trimmed);

}  // namespace mixora
