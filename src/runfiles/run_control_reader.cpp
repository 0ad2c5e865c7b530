#include "runfiles/run_control_reader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "core/lookups.h"
#include "input/control_keywords.h"
#include "input/data_fields.h"
#include "runfiles/run_fingerprint.h"
#include "runfiles/sample_block.h"
#include "core/system_error.h"

namespace mixora {

static_assert(std::endian::native == std::endian::little,
              "run control files are little-endian and read by copying words");

namespace {

constexpr std::size_t kMixtureTitleField = 100;
constexpr uint8_t kSupportedVersion = 1;
// zlib never packs more than 1032 bytes into one, so a header that claims a
// larger ratio is damaged; refusing it keeps a bad file from asking for
// gigabytes before the stream is even looked at.
constexpr uint64_t kMaxInflation = 1032;
// No name kind comes near this width; larger values are damage.
constexpr int32_t kMaxNameWidth = 1 << 16;

uint64_t Times(uint64_t a, uint64_t b) {
  uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// Reads sections of the content, never past its end. After the first
// failure every read fails, ok() stays false and why() says what the first
// failure was. The section being read names a read that runs past the end.
class Cursor {
 public:
  explicit Cursor(RunControlContent& content) : c_(content) {}

  bool ok() const { return ok_; }
  const std::string& why() const { return why_; }
  void Section(const char* name) { section_ = name; }
  uint64_t Remaining() const { return ok_ ? c_.bytes.size() - c_.pos : 0; }

  bool Take(void* out, uint64_t n) {
    if (!ok_ || n > Remaining()) return Fail();
    if (n > 0) std::memcpy(out, c_.bytes.data() + c_.pos, n);
    c_.pos += n;
    return true;
  }
  int32_t Int() {
    int32_t value = 0;
    Take(&value, sizeof value);
    return value;
  }
  bool Ints(std::vector<int32_t>& out, uint64_t n) {
    if (Times(n, 4) > Remaining()) return Fail();
    out.resize(n);
    return Take(out.data(), n * 4);
  }
  bool Doubles(std::vector<double>& out, uint64_t n) {
    if (Times(n, 8) > Remaining()) return Fail();
    out.resize(n);
    return Take(out.data(), n * 8);
  }
  std::string Text(uint64_t slot) {
    if (slot > Remaining()) {
      Fail();
      return {};
    }
    const char* at = reinterpret_cast<const char*>(c_.bytes.data() + c_.pos);
    std::string text(at, strnlen(at, slot));
    c_.pos += slot;
    return text;
  }
  bool Names(std::vector<std::string>& out, uint64_t n, int32_t width) {
    uint64_t slot = static_cast<uint64_t>(NameSlotSize(width));
    if (Times(n, slot) > Remaining()) return Fail();
    out.clear();
    out.reserve(n);
    for (uint64_t i = 0; i < n; ++i) out.push_back(Text(slot));
    return ok_;
  }
  bool Check(bool condition) { return condition ? ok_ : Fail(); }
  bool Check(bool condition, const std::string& problem) {
    return condition ? ok_ : Fail(problem);
  }
  bool Fail() { return Fail(std::string("the content ends inside ") + section_); }
  bool Fail(const std::string& problem) {
    if (ok_) why_ = problem;
    ok_ = false;
    return false;
  }

 private:
  RunControlContent& c_;
  bool ok_ = true;
  const char* section_ = "the settings";
  std::string why_;
};

std::string Said(const char* format, long long a, long long b = 0, long long c = 0) {
  char text[300];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// The stored settings passed the keyword ranges when the run was loaded;
// a value outside them is damage, and would mislead the sampler or the
// reports (an infinite Percentile prints "-nan", ThinIse 0 divides by zero).
bool CheckSettings(Cursor& in, const RunSettings& settings) {
  const KeywordSpec* rows = TextKeywordTable();
  for (std::size_t r = 0; r < TextKeywordCount(); ++r) {
    const KeywordSpec& row = rows[r];
    // A run loaded from a SPAM control file takes its levels from the stock
    // block, which may have none; the level count is checked with the arrays.
    if (std::strcmp(row.name, "Levels") == 0) continue;
    // Text settings may be empty for runs loaded from SPAM control files;
    // they must still end inside their fields.
    std::string problem = KeywordRangeProblem(row, &settings);
    if (problem.empty() || (row.type == kKeywordText && problem.rfind("Missing ", 0) == 0))
      continue;
    return in.Fail(problem + " (the file holds " + FormatKeyword(row, &settings) + ")");
  }
  return true;
}

// Every entry up to the first -1 names a stock of the run, as the load
// checked.
bool CheckStartStocks(Cursor& in, const RunRecord& r) {
  for (int32_t id : r.settings.StartStock) {
    if (id == -1) break;
    if (FindValue(r.stockId, id) < 0)
      return in.Fail(Said("StartStock %lld is not a stock of the run", id));
  }
  return true;
}

bool NonNegativeFinite(double value) { return value >= 0.0 && value <= 1.7976931348623157e308; }

bool ValidCount(int32_t n) { return n >= 0; }
bool ValidWidth(int32_t w) { return w >= 0 && w <= kMaxNameWidth; }

// The message a read shows, followed by the file and what is wrong with it.
void ShowReadFailure(const Interaction& ui, const char* text, const std::string& path,
                     const std::string& why) {
  ShowMessage(ui, kMbIconInformation, "%s\r\n%s\r\n%s", text, path.c_str(), why.c_str());
}

void ShowFormatFailure(const Interaction& ui, const std::string& path, const std::string& why) {
  ShowMessage(ui, kMbIconError, "Invalid File format:\r\n%s\r\n%s", path.c_str(), why.c_str());
}

// Items 2 to 17: everything up to the groups.
bool ReadCommonSections(Cursor& in, RunRecord& r) {
  int32_t S = r.settings.NumberOfStocks, C = r.settings.NumberOfChars, V = r.settings.Levels;
  if (!CheckSettings(in, r.settings)) return false;
  if (!in.Check(ValidCount(S) && ValidCount(C) && V >= 0 && V <= 5,
                Said("Levels not 0 - 5 (the file holds %lld)", V)))
    return false;
  in.Section("the counts");
  r.maxAlleles = in.Int();
  r.charNameWidth = in.Int();
  r.stockNameWidth = in.Int();
  r.groupCount = in.Int();
  r.groupNameWidth = in.Int();
  r.fishCount = in.Int();
  r.badCount = in.Int();
  r.fishNameWidth = in.Int();
  if (!in.Check(r.maxAlleles >= 1 && r.maxAlleles <= kMaxAllelePositions,
                Said("largest allele count %lld not 1 - %lld", r.maxAlleles, kMaxAllelePositions)) ||
      !in.Check(ValidCount(r.groupCount), Said("group count %lld below 0", r.groupCount)) ||
      !in.Check(ValidCount(r.fishCount), Said("fish count %lld below 0", r.fishCount)) ||
      !in.Check(ValidCount(r.badCount), Said("left-out fish count %lld below 0", r.badCount)) ||
      !in.Check(ValidWidth(r.charNameWidth) && ValidWidth(r.stockNameWidth) &&
                    ValidWidth(r.groupNameWidth) && ValidWidth(r.fishNameWidth),
                "a name width out of range"))
    return false;
  in.Section("the characters");
  in.Ints(r.alleleCount, static_cast<uint64_t>(C));
  in.Ints(r.charId, static_cast<uint64_t>(C));
  in.Ints(r.isLocus, static_cast<uint64_t>(C));
  in.Names(r.charNames, static_cast<uint64_t>(C), r.charNameWidth);
  in.Section("the stocks");
  in.Ints(r.stockId, static_cast<uint64_t>(S));
  in.Names(r.stockNames, static_cast<uint64_t>(S), r.stockNameWidth);
  r.groupAt.assign(static_cast<std::size_t>(V), {});
  for (auto& level : r.groupAt) in.Ints(level, static_cast<uint64_t>(S));
  if (!in.ok()) return false;
  // Every later array is strided by A, so an allele count above it would
  // send readers of the counts past their rows.
  for (std::size_t c = 0; c < r.alleleCount.size(); ++c) {
    const int32_t alleles = r.alleleCount[c];
    if (!in.Check(alleles >= 0 && alleles <= r.maxAlleles,
                  "character " + r.charNames[c] +
                      Said(": allele count %lld not 0 - %lld", alleles, r.maxAlleles)))
      return false;
  }
  return CheckStartStocks(in, r);
}

// Items 18 to 20 as stored.
bool ReadGroups(Cursor& in, RunRecord& r) {
  in.Section("the groups");
  uint64_t G = static_cast<uint64_t>(r.groupCount);
  in.Ints(r.groupLevel, G);
  in.Ints(r.groupId, G);
  in.Names(r.groupNames, G, r.groupNameWidth);
  if (!in.ok()) return false;
  for (int32_t level : r.groupLevel)
    if (!in.Check(level >= 0 && level < r.settings.Levels,
                  Said("a group of level %lld; the run has %lld levels", level + 1LL,
                       r.settings.Levels)))
      return false;
  return true;
}

// Items 21 to 30, every mixture and fish.
bool ReadBaselineAndMixture(Cursor& in, RunRecord& r) {
  uint64_t S = static_cast<uint64_t>(r.settings.NumberOfStocks);
  uint64_t C = static_cast<uint64_t>(r.settings.NumberOfChars);
  uint64_t A = static_cast<uint64_t>(r.maxAlleles);
  uint64_t F = static_cast<uint64_t>(r.fishCount);
  uint64_t E = static_cast<uint64_t>(r.badCount);
  in.Section("the baseline");
  in.Ints(r.counts, Times(Times(S, C), A));
  in.Section("the priors");
  in.Doubles(r.allelePrior, Times(C, A));
  in.Doubles(r.lambda, C);
  in.Doubles(r.beta, S);
  if (!in.ok()) return false;
  // The sampler adds counts to priors and draws from them: a negative or
  // non-finite one would give it NaN weights.
  for (int32_t n : r.counts)
    if (!in.Check(n >= 0 && n <= kMaxBaselineCount, Said("a baseline allele count of %lld", n)))
      return false;
  for (const std::vector<double>* priors : {&r.allelePrior, &r.beta})
    for (double v : *priors)
      if (!in.Check(NonNegativeFinite(v), "a prior out of range")) return false;
  for (double v : r.lambda)
    if (!in.Check(NonNegativeFinite(v), "a prior weight out of range")) return false;
  in.Section("the mixtures");
  r.mixtureTitle = in.Text(kMixtureTitleField);
  r.mixtureCount = in.Int();
  if (!in.Check(ValidCount(r.mixtureCount), Said("mixture count %lld below 0", r.mixtureCount)) ||
      !in.Check(Times(static_cast<uint64_t>(r.mixtureCount), kMixtureRecordSize) <= in.Remaining()))
    return false;
  r.mixtures.resize(static_cast<std::size_t>(r.mixtureCount));
  uint32_t previous = 0;
  for (MixtureRecord& m : r.mixtures) {
    m.firstIndividual = static_cast<uint32_t>(in.Int());
    m.number = static_cast<uint32_t>(in.Int());
    m.year = in.Int();
    m.vial = in.Text(100);
    m.desc = in.Text(50);
    m.date = in.Text(50);
    m.area = in.Text(50);
    m.gear = in.Text(100);
    // Mixtures are consecutive runs of the stored fish.
    if (!in.Check(m.firstIndividual >= previous && m.firstIndividual <= F,
                  Said("mixture %lld starts at stored fish %lld, out of order or beyond the "
                       "%lld fish",
                       static_cast<long long>(&m - r.mixtures.data()) + 1,
                       static_cast<long long>(m.firstIndividual) + 1,
                       static_cast<long long>(F))))
      return false;
    previous = m.firstIndividual;
  }
  in.Section("the fish");
  in.Ints(r.genotypes, Times(Times(F, C), 2));
  in.Names(r.fishNames, F, r.fishNameWidth);
  if (E > 0) {
    in.Ints(r.badFlags, E);
    in.Names(r.badNames, E, r.fishNameWidth);
  }
  if (!in.ok()) return false;
  // The sampler indexes allele counts by these positions.
  for (uint64_t f = 0; f < F; ++f)
    for (uint64_t c = 0; c < C; ++c)
      for (uint64_t j = 0; j < 2; ++j) {
        int32_t position = r.genotypes[(f * C + c) * 2 + j];
        if (!in.Check(position >= 0 && position <= r.alleleCount[c],
                      "fish " + r.fishNames[f] + " at character " + r.charNames[c] +
                          Said(": allele %lld not 0 - %lld", position, r.alleleCount[c])))
          return false;
      }
  return true;
}

// Characters of a title that would make its run outputs land elsewhere or
// fail to open.
std::string SafeForFileName(std::string text) {
  for (char& ch : text)
    if (std::strchr("/\\:*?\"<>|", ch) || static_cast<unsigned char>(ch) < 32) ch = '_';
  return text;
}

std::unique_ptr<RunRecord> DecodeCommon(RunControlContent& content, const std::string& path,
                                        const Interaction& ui) {
  Cursor in(content);
  auto record = std::make_unique<RunRecord>();
  if (!in.Take(&record->settings, sizeof record->settings)) {
    ShowFormatFailure(ui, path, in.why());
    return nullptr;
  }
  uint8_t version = record->settings.FileKinds[3];
  if (version != 0) {
    ShowMessage(ui, kMbIconError, "Version %u binary format. Version%s supported only:\r\n%s",
                static_cast<unsigned>(version) + 1,
                (" " + std::to_string(kSupportedVersion)).c_str(), path.c_str());
    return nullptr;
  }
  if (!ReadCommonSections(in, *record)) {
    ShowFormatFailure(ui, path, in.why());
    return nullptr;
  }
  return record;
}

}  // namespace

std::string RunTitleFor(const std::string& mixtureTitle, int p) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_POP_%02d", p + 1);
  return SafeForFileName(mixtureTitle.substr(0, 8)) + suffix;
}

bool StartsWithSampleMagic(const uint8_t* bytes, std::size_t size) {
  return size >= 4 && std::memcmp(bytes, kSampleFileMagic, 4) == 0;
}

bool OpenRunControlContent(const std::string& path, const Interaction& ui, RunControlContent& content) {
  content = RunControlContent{};
  std::error_code ec;
  uint64_t fileSize = std::filesystem::file_size(path, ec);
  std::FILE* file = ec ? nullptr : std::fopen(path.c_str(), "rb");
  if (!file) {
    ShowMessage(ui, kMbIconError, "Cannot Open\r\n%s\r\nfor Reading\r\n%s", path.c_str(),
                SystemErrorText(errno).c_str());
    return false;
  }
  uint8_t head[kSampleBlockHeaderSize];
  std::size_t got = std::fread(head, 1, sizeof head, file);
  if (got < sizeof head || StartsWithSampleMagic(head, got)) {
    std::fclose(file);
    return false;
  }
  SampleBlockHeader header = DecodeSampleBlockHeader(head);
  std::string why;
  if (header.compressedLength > fileSize - sizeof head)
    why = Said("the block claims %lld compressed bytes; the file holds %lld", header.compressedLength,
               static_cast<long long>(fileSize - sizeof head));
  else if (header.uncompressedLength > Times(header.compressedLength, kMaxInflation) + 64)
    why = Said("the block claims %lld bytes from %lld compressed bytes, more than compression gives",
               header.uncompressedLength, header.compressedLength);
  std::vector<uint8_t> compressed;
  if (why.empty()) {
    compressed.resize(header.compressedLength);
    if (std::fread(compressed.data(), 1, compressed.size(), file) != compressed.size())
      why = "the file could not be read to its end";
  }
  std::fclose(file);
  if (why.empty()) {
    content.bytes.resize(header.uncompressedLength);
    const BlockStatus status = DecompressSampleBlock(header, compressed.data(), compressed.size(),
                                                     content.bytes.data(), content.bytes.size());
    if (status == BlockStatus::kCorrupt)
      why = Said("the compressed data is damaged or does not give its stated %lld bytes",
                 header.uncompressedLength);
    else if (status != BlockStatus::kOk)
      why = DescribeBlockStatus(status);
  }
  if (!why.empty()) {
    content.bytes.clear();
    ShowFormatFailure(ui, path, why);
    return false;
  }
  return true;
}

std::unique_ptr<RunRecord> ReadRunControlCommon(const std::string& path, const Interaction& ui,
                                                RunControlContent& content) {
  if (!OpenRunControlContent(path, ui, content)) return nullptr;
  return DecodeCommon(content, path, ui);
}

std::unique_ptr<RunRecord> DecodeNewControl(RunControlContent& content, const std::string& path,
                                            const Interaction& ui) {
  content.pos = 0;
  std::unique_ptr<RunRecord> record = DecodeCommon(content, path, ui);
  if (!record) return nullptr;
  Cursor in(content);
  if (!ReadGroups(in, *record) || !ReadBaselineAndMixture(in, *record)) {
    ShowReadFailure(ui, "Error reading NewControl", path, in.why());
    return nullptr;
  }
  record->controlPath = path;
  return record;
}

int32_t MixtureFishCount(const RunRecord& whole, int p) {
  if (p < 0 || p >= static_cast<int>(whole.mixtures.size())) return 0;
  const std::size_t at = static_cast<std::size_t>(p);
  const uint32_t from = whole.mixtures[at].firstIndividual;
  const uint32_t to = at + 1 < whole.mixtures.size() ? whole.mixtures[at + 1].firstIndividual
                                                     : static_cast<uint32_t>(std::max(whole.fishCount, 0));
  return to > from ? static_cast<int32_t>(to - from) : 0;
}

std::unique_ptr<RunRecord> DecodeRunControl(RunControlContent& content, const std::string& path,
                                            int p, const Interaction& ui) {
  content.pos = 0;
  std::unique_ptr<RunRecord> record = DecodeCommon(content, path, ui);
  if (!record) return nullptr;
  RunRecord& r = *record;
  Cursor in(content);
  if (ReadGroups(in, r) && ReadBaselineAndMixture(in, r) && !(p >= 0 && p < r.mixtureCount))
    in.Fail(Said("mixture %lld asked for; the file holds %lld", p + 1LL, r.mixtureCount));
  if (!in.ok()) {
    ShowReadFailure(ui, "Error reading pControl", path, in.why());
    return nullptr;
  }

  // Groups by level, in file order; a stock's group identifier becomes the
  // position of the first group of its level with that identifier.
  std::size_t V = static_cast<std::size_t>(r.settings.Levels);
  r.levelGroupCount.assign(V, 0);
  r.levelGroupId.assign(V, {});
  r.levelGroupNames.assign(V, {});
  for (std::size_t g = 0; g < r.groupId.size(); ++g) {
    int32_t level = r.groupLevel[g];
    if (level < 0 || static_cast<std::size_t>(level) >= V) continue;
    r.levelGroupId[static_cast<std::size_t>(level)].push_back(r.groupId[g]);
    r.levelGroupNames[static_cast<std::size_t>(level)].push_back(r.groupNames[g]);
    ++r.levelGroupCount[static_cast<std::size_t>(level)];
  }
  for (std::size_t level = 0; level < V; ++level)
    for (int32_t& id : r.groupAt[level]) {
      int at = FindValue(r.levelGroupId[level], id);
      if (at >= 0) id = at;
    }

  // Only the fish of mixture p, and only its excluded fish.
  std::size_t C = static_cast<std::size_t>(r.settings.NumberOfChars);
  std::size_t from = r.mixtures[static_cast<std::size_t>(p)].firstIndividual;
  std::size_t to = from + static_cast<std::size_t>(MixtureFishCount(r, p));
  r.fishNames = std::vector<std::string>(r.fishNames.begin() + static_cast<std::ptrdiff_t>(from),
                                         r.fishNames.begin() + static_cast<std::ptrdiff_t>(to));
  r.genotypes = std::vector<int32_t>(r.genotypes.begin() + static_cast<std::ptrdiff_t>(from * C * 2),
                                     r.genotypes.begin() + static_cast<std::ptrdiff_t>(to * C * 2));
  r.fishCount = static_cast<int32_t>(to - from);
  // Every fish of this mixture was left out at load (too many missing loci,
  // say): chains would have nothing to sample, so say so before any starts.
  if (r.fishCount == 0) {
    ShowMessage(ui, kMbIconError, "Mixture %d (%s) has no fish that take part in the run:\r\n%s", p + 1,
                RunTitleFor(r.mixtureTitle, p).c_str(), path.c_str());
    return nullptr;
  }
  std::vector<int32_t> badFlags;
  std::vector<std::string> badNames;
  for (std::size_t e = 0; e < r.badFlags.size(); ++e)
    if ((static_cast<uint32_t>(r.badFlags[e]) & 0xFFFF) == static_cast<uint32_t>(p)) {
      badFlags.push_back(r.badFlags[e]);
      badNames.push_back(r.badNames[e]);
    }
  r.badFlags = std::move(badFlags);
  r.badNames = std::move(badNames);
  r.badCount = static_cast<int32_t>(r.badFlags.size());

  r.mixtureIndex = p;
  r.controlPath = path;
  r.runTitle = RunTitleFor(r.mixtureTitle, p);
  SetField(r.settings.Title, r.runTitle);
  r.inputsFingerprint = RunInputsFingerprint(r);
  r.ownerTag = RunOwnerTag(path);
  return record;
}

// A run too large for the memory at hand can fail here, before any chain
// takes its arrays; it ends the same way as a chain that cannot allocate.
std::unique_ptr<RunRecord> ReadNewControl(const std::string& path, const Interaction& ui) {
  try {
    RunControlContent content;
    if (!OpenRunControlContent(path, ui, content)) return nullptr;
    return DecodeNewControl(content, path, ui);
  } catch (const std::bad_alloc&) {
    ShowMessage(ui, kMbIconError, "Memory Allocation Failure.  FATAL!!");
    return nullptr;
  }
}

std::unique_ptr<RunRecord> ReadRunControl(const Interaction& ui, const std::string& path, int p) {
  try {
    RunControlContent content;
    if (!OpenRunControlContent(path, ui, content)) return nullptr;
    return DecodeRunControl(content, path, p, ui);
  } catch (const std::bad_alloc&) {
    ShowMessage(ui, kMbIconError, "Memory Allocation Failure.  FATAL!!");
    return nullptr;
  }
}

}  // namespace mixora
