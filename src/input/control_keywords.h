#pragma once
// The keywords of the two kinds of control file, read into RunSettings.
#include <cstddef>
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "input/control.h"
#include "input/keyword_table.h"

namespace mixora {

// The text control file table (separator "="), Title first, then BaselineFile
// to Percentile in the order they are written and shown.
const KeywordSpec* TextKeywordTable();
std::size_t TextKeywordCount();

// The SPAM control file table (separator ":").
const KeywordSpec* SpamKeywordTable();
std::size_t SpamKeywordCount();

// Sets the defaults that apply before any keyword is read; every other field
// is left as it is (a fresh RunSettings is all zero).
void SetDefaultSettings(RunSettings& settings);

// Reads the keyword lines of a control file of kind 2 (SPAM) or 3 (Mixora)
// into `settings`, logging as it goes. Returns 0 on success, the error flags
// otherwise, and -1 for any other kind or a file that cannot be opened.
ErrorFlags ParseKeywords(const std::string& path, int32_t kind, RunSettings& settings,
                         LogBuffer& log);

}  // namespace mixora
