#pragma once
// Lines of a text control file that hold the separator but name no keyword.
// Such lines are skipped, so notes like "Date = 2025" may stand in a control
// file; but a misspelt keyword is skipped too, and the setting it meant then
// falls back to its default without a word. A word within a typing slip of a
// keyword is therefore refused, and every other skipped line is noted.
#include <cstddef>
#include <span>
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "core/text_file.h"
#include "input/keyword_table.h"

namespace mixora {

// Edits (insertions, deletions, substitutions, swaps of neighbours) between
// a and b, letters compared without regard to case (ASCII only).
int KeywordEditDistance(const std::string& a, const std::string& b);

// The keyword a word was most likely meant to be: the first row in table
// order at the fewest edits, when those are at most 1 for a keyword of up to
// five letters and at most 2 for a longer one; else nullptr. Short keywords
// get one edit only, so that a note such as "Site = ..." is not taken for
// "Title".
const KeywordSpec* NearestKeyword(const std::string& word, const KeywordSpec* rows,
                                  std::size_t rowCount);

// Every trimmed line that holds `separator`, whose start matches no row and
// no entry of `blockHeads` (the block lines such as "Chars ="): logs
// "%s, line %d: \"%s\" is not a keyword; did you mean %s? ..." and returns
// kErrCannotParseLine when its word is near a keyword, else logs an "Info:"
// line saying the line is skipped. Lines that begin with "!" or a backslash are
// comments.
ErrorFlags CheckUnknownKeywordLines(const TextFile& file, char separator, const KeywordSpec* rows,
                                    std::size_t rowCount, std::span<const char* const> blockHeads,
                                    LogBuffer& log);

}  // namespace mixora
