#pragma once
// Line handling shared by the readers of the control-file blocks.
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "core/text_file.h"

namespace mixora {

enum class BlockHeader { kCharacters, kStocks, kGroups };

// Index of the first line of a block: the line after its header and, in the
// SPAM layout, after the column heading that follows the header. -1 when the
// file has no such header.
int FindBlockStart(const TextFile& file, BlockHeader header, bool spam);

// One line of a block as its reader sees it.
struct BlockLine {
  bool blank = false;     // empty after trimming: skipped
  bool ends = false;      // a SPAM "*" line: the block is over
  bool excluded = false;  // "!" (text layout) or "\" (SPAM layout) in front
  std::string content;    // the line without the mark, trimmed
};
BlockLine ReadBlockLine(const std::string& raw, bool spam);

// Logs "<path>, line <n>: <problem>".
void LogBlockRefusal(LogBuffer& log, const TextFile& file, int lineIndex,
                     const std::string& problem);

// Logs the outcome of a block reader: `success` for 0, otherwise `failure`
// followed by the text of the flags. Returns the flags.
ErrorFlags FinishBlock(LogBuffer& log, ErrorFlags flags, const char* success,
                       const char* failure);

}  // namespace mixora
