#include "runfiles/run_control_writer.h"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/atomic_file.h"
#include "core/lookups.h"
#include "core/string_format.h"
#include "core/system_error.h"
#include "runfiles/run_control_pieces.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/sample_block.h"

namespace mixora {

static_assert(std::endian::native == std::endian::little,
              "run control files are little-endian and written by copying words");

namespace {

constexpr std::size_t kMixtureTitleField = 100;

struct ContentWriter {
  std::vector<uint8_t> bytes;

  void Raw(const void* data, std::size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
  }
  void Int(int32_t value) { Raw(&value, sizeof value); }
  void Ints(const std::vector<int32_t>& values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) Int(i < values.size() ? values[i] : 0);
  }
  void Doubles(const std::vector<double>& values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      double value = i < values.size() ? values[i] : 0.0;
      Raw(&value, sizeof value);
    }
  }
  // A NUL-padded slot; the text is cut so one NUL always remains.
  void Text(const std::string& text, std::size_t slot) {
    std::size_t n = std::min(text.find('\0'), text.size());
    if (n >= slot) n = slot > 0 ? slot - 1 : 0;
    Raw(text.data(), n);
    bytes.insert(bytes.end(), slot - n, 0);
  }
  void Names(const std::vector<std::string>& names, std::size_t n, int32_t width) {
    std::size_t slot = static_cast<std::size_t>(NameSlotSize(width));
    static const std::string empty;
    for (std::size_t i = 0; i < n; ++i) Text(i < names.size() ? names[i] : empty, slot);
  }
};

void ShowFailure(const Interaction& ui, const char* format, const std::string& path) {
  const std::string reason = SystemErrorText(errno);
  ShowMessage(ui, kMbIconError, "%s\r\n%s", StringPrintf(format, path.c_str()).c_str(),
              reason.c_str());
}

}  // namespace

std::vector<uint8_t> EncodeRunControlContent(const RunRecord& p) {
  ContentWriter w;
  std::size_t S = static_cast<std::size_t>(std::max(p.settings.NumberOfStocks, 0));
  std::size_t C = static_cast<std::size_t>(std::max(p.settings.NumberOfChars, 0));
  std::size_t V = static_cast<std::size_t>(std::max(p.settings.Levels, 0));
  std::size_t A = static_cast<std::size_t>(std::max(p.maxAlleles, 0));
  std::size_t G = static_cast<std::size_t>(std::max(p.groupCount, 0));
  std::size_t F = static_cast<std::size_t>(std::max(p.fishCount, 0));
  std::size_t E = static_cast<std::size_t>(std::max(p.badCount, 0));
  std::size_t P = static_cast<std::size_t>(std::max(p.mixtureCount, 0));

  w.Raw(&p.settings, sizeof p.settings);  // version word, then the settings
  w.Int(p.maxAlleles);
  w.Int(p.charNameWidth);
  w.Int(p.stockNameWidth);
  w.Int(p.groupCount);
  w.Int(p.groupNameWidth);
  w.Int(p.fishCount);
  w.Int(p.badCount);
  w.Int(p.fishNameWidth);

  w.Ints(p.alleleCount, C);
  w.Ints(p.charId, C);
  w.Ints(p.isLocus, C);
  w.Names(p.charNames, C, p.charNameWidth);
  w.Ints(p.stockId, S);
  w.Names(p.stockNames, S, p.stockNameWidth);
  static const std::vector<int32_t> kNoGroups;
  for (std::size_t level = 0; level < V; ++level)
    w.Ints(level < p.groupAt.size() ? p.groupAt[level] : kNoGroups, S);
  w.Ints(p.groupLevel, G);
  w.Ints(p.groupId, G);
  w.Names(p.groupNames, G, p.groupNameWidth);

  w.Ints(p.counts, S * C * A);
  w.Doubles(p.allelePrior, C * A);
  w.Doubles(p.lambda, C);
  w.Doubles(p.beta, S);

  w.Text(p.mixtureTitle, kMixtureTitleField);
  w.Int(p.mixtureCount);
  for (std::size_t m = 0; m < P; ++m) {
    static const MixtureRecord kEmpty;
    const MixtureRecord& r = m < p.mixtures.size() ? p.mixtures[m] : kEmpty;
    w.Int(static_cast<int32_t>(r.firstIndividual));
    w.Int(static_cast<int32_t>(r.number));
    w.Int(r.year);
    w.Text(r.vial, 100);
    w.Text(r.desc, 50);
    w.Text(r.date, 50);
    w.Text(r.area, 50);
    w.Text(r.gear, 100);
  }
  w.Ints(p.genotypes, F * C * 2);
  w.Names(p.fishNames, F, p.fishNameWidth);
  if (E > 0) {
    w.Ints(p.badFlags, E);
    w.Names(p.badNames, E, p.fishNameWidth);
  }
  return std::move(w.bytes);
}

int WriteRunControlFile(const std::string& path, const RunRecord& pieces, const Interaction& ui) {
  std::vector<uint8_t> content = EncodeRunControlContent(pieces);
  // Compressed in memory and written whole beside the old file, which is
  // replaced only by a complete new one: the bytes are those an in-place
  // compression gives, without the moment at which neither file is whole.
  std::vector<uint8_t> block;
  PendingFile pending;
  std::FILE* file = nullptr;
  if (content.size() >= (1ull << 32) ||
      EncodeSampleBlock(content.data(), 1, content.size(), block) != BlockStatus::kOk ||
      (file = OpenPendingFile(pending, path)) == nullptr) {
    ShowFailure(ui, "Cannot Open\r\n%s\r\nfor writing", path);
    return 0;
  }
  // A full disk shows only here, so the person learns the system's reason.
  if (std::fwrite(block.data(), 1, block.size(), file) != block.size() ||
      CommitPendingFile(pending) == 0) {
    ReportSystemError(ui, "Cannot write the run control file", path);
    return 0;
  }
  return 1;
}

int CompressFileInPlace(const std::string& path, const Interaction& ui) {
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  if (!file) {
    ShowFailure(ui, "Cannot Open\r\n%s\r\nfor Reading", path);
    return 0;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  bool ok = !std::ferror(file) && bytes.size() < (1ull << 32);
  if (ok) {
    std::rewind(file);
    ok = WriteSampleBlock(file, bytes.data(), 1, bytes.size()) == 1;
  }
  if (ok) {
    long end = std::ftell(file);
    ok = end >= 0 && std::fflush(file) == 0 && ::ftruncate(::fileno(file), end) == 0;
  }
  ok = (std::fclose(file) == 0) && ok;
  return ok ? 1 : 0;
}

int GenerateRunControlFile(const Interaction& ui, const Control& control, const std::string& path,
                           const RunFileExtraction& extract) {
  RunRecord pieces;
  BuildRunPieces(control, pieces, ui);
  if (!WriteRunControlFile(path, pieces, ui)) return 0;
  std::unique_ptr<RunRecord> back = ReadNewControl(path, ui);
  if (!back) return 0;
  if (extract) extract(*back, path);
  return 1;
}

}  // namespace mixora
