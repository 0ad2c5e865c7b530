#include "runfiles/sample_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <numeric>
#include <vector>

namespace mixora {
namespace {

// An anonymous temporary file that deletes itself when closed.
struct TempFile {
  std::FILE* f = std::tmpfile();
  ~TempFile() {
    if (f != nullptr) std::fclose(f);
  }
  std::vector<uint8_t> Bytes() {
    std::fflush(f);
    std::fseek(f, 0, SEEK_END);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(std::ftell(f)));
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    return bytes;
  }
  void Replace(const std::vector<uint8_t>& bytes) {
    std::fclose(f);
    f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
  }
};

std::vector<uint32_t> Words(std::size_t n, uint32_t start) {
  std::vector<uint32_t> v(n);
  std::iota(v.begin(), v.end(), start);
  return v;
}

TEST(SampleBlock, ConsecutiveBlocksReadBackInOrderThenEnd) {
  TempFile t;
  auto first = Words(1000, 7);
  auto second = Words(3, 90000);
  ASSERT_EQ(WriteSampleBlock(t.f, first.data(), 40, first.size() * 4), 1);
  ASSERT_EQ(WriteSampleBlock(t.f, second.data(), 1, second.size() * 4), 1);

  // The header holds the caller's count and the byte length, not a record count.
  auto bytes = t.Bytes();
  SampleBlockHeader h = DecodeSampleBlockHeader(bytes.data());
  EXPECT_EQ(h.count, 40u);
  EXPECT_EQ(h.uncompressedLength, 4000u);
  EXPECT_EQ(bytes.size(), 2 * kSampleBlockHeaderSize + h.compressedLength +
                              DecodeSampleBlockHeader(bytes.data() + 12 + h.compressedLength)
                                  .compressedLength);

  std::rewind(t.f);
  std::vector<uint32_t> got(1000);
  EXPECT_EQ(ReadSampleBlock(t.f, got.data(), got.size() * 4), 40u);
  EXPECT_EQ(got, first);
  EXPECT_EQ(ReadSampleBlock(t.f, got.data(), got.size() * 4), 1u);
  EXPECT_EQ(std::vector<uint32_t>(got.begin(), got.begin() + 3), second);
  EXPECT_EQ(ReadSampleBlock(t.f, got.data(), got.size() * 4), 0u);
  EXPECT_EQ(ReadSampleBlockChecked(t.f, got.data(), got.size() * 4), BlockStatus::kEnd);
}

TEST(SampleBlock, EmptyBlockRoundTrips) {
  TempFile t;
  ASSERT_EQ(WriteSampleBlock(t.f, nullptr, 0, 0), 1);
  std::rewind(t.f);
  SampleBlockHeader h;
  EXPECT_EQ(ReadSampleBlockChecked(t.f, nullptr, 0, &h), BlockStatus::kOk);
  EXPECT_EQ(h.uncompressedLength, 0u);
}

// Damaged blocks of every kind are refused with the right reason, by the file
// readers and by the in-memory reader alike, without reading past a buffer.
TEST(SampleBlock, DamagedBlocksAreRefused) {
  auto data = Words(500, 1);
  std::vector<uint8_t> good;
  ASSERT_EQ(EncodeSampleBlock(data.data(), 5, data.size() * 4, good), BlockStatus::kOk);
  const std::size_t compressedLength = good.size() - kSampleBlockHeaderSize;

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::size_t capacity;
    BlockStatus expected;
  };
  auto cut = [&](std::size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
  auto withHeader = [&](uint32_t count, uint32_t plain, uint32_t packed) {
    auto b = good;
    EncodeSampleBlockHeader({count, plain, packed}, b.data());
    return b;
  };
  auto flipped = good;
  flipped[kSampleBlockHeaderSize + compressedLength / 2] ^= 0x5A;
  std::vector<Case> cases = {
      {"header cut", cut(7), 2000, BlockStatus::kTruncated},
      {"stream cut", cut(good.size() - 1), 2000, BlockStatus::kTruncated},
      {"stream byte flipped", flipped, 2000, BlockStatus::kCorrupt},
      {"destination too small", good, 1999, BlockStatus::kTooLarge},
      {"uncompressed length lies low", withHeader(5, 1996, compressedLength), 2000,
       BlockStatus::kCorrupt},
      {"uncompressed length lies high", withHeader(5, 2004, compressedLength), 4000,
       BlockStatus::kCorrupt},
      {"uncompressed length beyond any buffer", withHeader(5, 0xFFFFFFFFu, compressedLength),
       2000, BlockStatus::kTooLarge},
      {"compressed length lies high", withHeader(5, 2000, 0xFFFFFFF0u), 2000,
       BlockStatus::kTruncated},
      {"compressed length lies low", withHeader(5, 2000, compressedLength - 5), 2000,
       BlockStatus::kCorrupt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile t;
    t.Replace(c.bytes);
    std::vector<uint8_t> dest(c.capacity);
    EXPECT_EQ(ReadSampleBlockChecked(t.f, dest.data(), dest.size()), c.expected);
    std::rewind(t.f);
    EXPECT_EQ(ReadSampleBlock(t.f, dest.data(), dest.size()), 0u);
    std::rewind(t.f);
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadSampleBlockToVector(t.f, out, c.capacity), c.expected);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ReadSampleBlockFromMemory(c.bytes.data(), c.bytes.size(), out, c.capacity),
              c.expected);
    EXPECT_TRUE(out.empty());
  }
}

TEST(SampleBlock, InnerStepWorksOnAHeaderReadByTheCaller) {
  auto data = Words(64, 3);
  std::vector<uint8_t> block;
  ASSERT_EQ(EncodeSampleBlock(data.data(), 1, data.size() * 4, block), BlockStatus::kOk);
  SampleBlockHeader h = DecodeSampleBlockHeader(block.data());
  std::vector<uint32_t> got(64);
  EXPECT_EQ(DecompressSampleBlock(h, block.data() + 12, block.size() - 12, got.data(), 256),
            BlockStatus::kOk);
  EXPECT_EQ(got, data);
  EXPECT_EQ(DecompressSampleBlock(h, block.data() + 12, block.size() - 13, got.data(), 256),
            BlockStatus::kTruncated);

  TempFile t;
  std::fwrite(block.data(), 1, block.size(), t.f);
  std::fseek(t.f, 12, SEEK_SET);
  EXPECT_EQ(ReadSampleBlockBody(t.f, h, got.data(), 256), BlockStatus::kOk);
  EXPECT_EQ(got, data);
  EXPECT_EQ(std::ftell(t.f), static_cast<long>(block.size()));

  std::size_t consumed = 0;
  std::vector<uint8_t> out;
  block.push_back(0xEE);  // whatever follows the block is left alone
  EXPECT_EQ(ReadSampleBlockFromMemory(block.data(), block.size(), out, 256, nullptr, &consumed),
            BlockStatus::kOk);
  EXPECT_EQ(consumed, block.size() - 1);
}

}  // namespace
}  // namespace mixora
