#pragma once
// Overwriting a sample file's last block in place, as the first save after a
// resume does, is the one write that touches records a restart file already
// counts. Before it, the block's stored bytes go to a small undo file beside
// the sample file, so that a crash or a failed write in between is mended at
// the next resume instead of costing the chain its samples.
//
// Undo file, little-endian: 8 bytes "MXUNDO" 1 0, the block's offset (int64),
// its length (uint32), the CRC-32 of its bytes (uint32), then the bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace mixora {

// "<sample file>.undo".
std::string BlockUndoPath(const std::string& samplePath);

// Writes the undo file for the block stored as `bytes` at `offset`, whole
// or not at all, and has it on disk before returning. 1 or 0.
int SaveBlockUndo(const std::string& samplePath, int64_t offset, const std::vector<uint8_t>& bytes);

// Writes `bytes` back at `offset` of the open file, cuts the file right
// after them and has it on disk. The position ends after the bytes. 1 or 0.
int PutBlockBack(std::FILE* file, int64_t offset, const std::vector<uint8_t>& bytes);

// Mends the open sample file from its undo file, if there is one: a whole
// undo file is put back (PutBlockBack) and removed; one that does not check
// out (damaged from outside: it is written whole or not at all) is removed.
// Returns 1, or 0 with error set when the block cannot be put back (the
// undo file is then kept for another try).
int ApplyBlockUndo(std::FILE* file, const std::string& samplePath, std::string& error);

// Removes the undo file and its temporary file, if any.
void DropBlockUndo(const std::string& samplePath);

}  // namespace mixora
