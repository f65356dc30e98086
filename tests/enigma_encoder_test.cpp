#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "enigma/enigma.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint16_t>;

Bytes bytes_of(const Words& words) {
  Bytes bytes;
  for (std::uint16_t w : words) {
    bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    bytes.push_back(static_cast<std::uint8_t>(w));
  }
  return bytes;
}

Bytes encode(const Bytes& data) {
  Bytes stream;
  enigma_compress(data, stream);
  return stream;
}

// The value analysis exactly as described: every candidate from the smallest word up, counted
// over all words, a later candidate winning only with a strictly greater number.
CommonAndIncrement quadratic_choice(const Words& words) {
  std::uint32_t minimum = 0xFFFF;
  for (std::uint16_t w : words) minimum = std::min<std::uint32_t>(minimum, w);
  CommonAndIncrement chosen;
  std::size_t best_count = 0, best_chain = 0;
  for (std::uint32_t v = minimum; v <= 0xFFFF; ++v) {
    const auto count = static_cast<std::size_t>(std::count(words.begin(), words.end(), v));
    std::size_t chain = 0;
    auto expected = static_cast<std::uint16_t>(v);
    for (std::uint16_t w : words) {
      if (w == expected) {
        ++chain;
        ++expected;
      }
    }
    if (count > best_count) best_count = count, chosen.common_word = static_cast<std::uint16_t>(v);
    if (chain > best_chain) best_chain = chain, chosen.increment_word = static_cast<std::uint16_t>(v);
  }
  return chosen;
}

// Words of varied shapes: runs, rising and falling runs, a dominant word, incrementing sequences,
// flag bits, wrap-arounds.
Words random_words(std::mt19937& random, std::size_t count) {
  Words words;
  const auto dominant = static_cast<std::uint16_t>(random());
  auto counter = static_cast<std::uint16_t>(random() % 4 == 0 ? 0xFFF0 + random() % 16 : random());
  const std::uint16_t flags = static_cast<std::uint16_t>((random() % 32) << 11);
  const std::uint16_t low_mask = static_cast<std::uint16_t>((1u << (random() % 12)) - 1);
  while (words.size() < count) {
    const auto base = static_cast<std::uint16_t>(((random() & low_mask) | (random() & flags)));
    const std::size_t n = 1 + random() % 20;
    switch (random() % 7) {
      case 0: words.insert(words.end(), n, base); break;
      case 1: for (std::size_t i = 0; i < n; ++i) words.push_back(static_cast<std::uint16_t>(base + i)); break;
      case 2: for (std::size_t i = 0; i < n; ++i) words.push_back(static_cast<std::uint16_t>(base - i)); break;
      case 3: words.insert(words.end(), n, dominant); break;
      case 4: for (std::size_t i = 0; i < n; ++i) words.push_back(counter++); break;
      case 5: for (std::size_t i = 0; i < n; ++i) words.push_back(static_cast<std::uint16_t>((random() & low_mask) | (random() & flags))); break;
      default: words.push_back(static_cast<std::uint16_t>(0x7FFE + random() % 4)); break;
    }
  }
  words.resize(count);
  return words;
}

Words decode_words(const Bytes& stream, EnigmaDecodeResult* result = nullptr) {
  InputImage image;
  image.data = stream;
  image.length = static_cast<std::int32_t>(stream.size());
  std::vector<std::uint8_t> area(ENIGMA_OUTPUT_SIZE);
  const EnigmaDecodeResult r = enigma_decode(image, 0, area);
  if (result != nullptr) *result = r;
  Words words;
  for (std::int32_t i = 0; i + 1 < r.decoded_size; i += 2) {
    words.push_back(static_cast<std::uint16_t>(area[static_cast<std::size_t>(i)] << 8 | area[static_cast<std::size_t>(i) + 1]));
  }
  return words;
}

TEST(EnigmaEncoder, SmallestStreams) {
  EXPECT_EQ(encode({}), (Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFE}));
  EXPECT_EQ(encode({0x00, 0x00}), (Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xF8}));
}

TEST(EnigmaEncoder, SignedComparisonStopsAtTheSignBoundaryButNotAtZero) {
  // 7FFE 7FFF | 8000 8001: two incrementing copies of two words (000001 000001), end code.
  Bytes stream = encode(bytes_of({0x7FFE, 0x7FFF, 0x8000, 0x8001}));
  EXPECT_EQ(stream[2], 0x7F);
  EXPECT_EQ(stream[3], 0xFE);
  EXPECT_EQ(Bytes(stream.begin() + 6, stream.end()), (Bytes{0x04, 0x1F, 0xE0}));
  // FFFE FFFF 0000 0001: one incrementing copy of four words.
  stream = encode(bytes_of({0xFFFE, 0xFFFF, 0x0000, 0x0001}));
  EXPECT_EQ(stream[2], 0xFF);
  EXPECT_EQ(stream[3], 0xFE);
  EXPECT_EQ(Bytes(stream.begin() + 6, stream.end()), (Bytes{0x0F, 0xF8}));
}

TEST(EnigmaEncoder, HeaderBitsCoverEveryUsedBit) {
  const WordBits bits = scan_word_bits(bytes_of({0x8000, 0x0400, 0x0001}));
  EXPECT_EQ(bits.flag_mask, 0x10);
  EXPECT_EQ(bits.inline_bits, 11);
  EXPECT_EQ(scan_word_bits(bytes_of({0x0001})).inline_bits, 1);
  EXPECT_EQ(scan_word_bits(bytes_of({0x0023, 0xF800})).inline_bits, 6);
  EXPECT_EQ(scan_word_bits(bytes_of({0x0023, 0xF800})).flag_mask, 0x1F);
  // Inline values of 12 bits: a list of three words takes 7 + 3 * 12 bits.
  const Bytes stream = encode(bytes_of({0x8000, 0x8000, 0x8000, 0x0400, 0x0001, 0x8123, 0x0400}));
  EXPECT_EQ(stream[0], 11);
  EXPECT_EQ(stream[1], 0x10);
}

TEST(EnigmaEncoder, CommonWordWithBitFifteenAndCommonEqualToIncrement) {
  // Mostly 0x8000: the common word, used by common copies.
  Bytes stream = encode(bytes_of({0x8000, 0x8000, 0x1234, 0x8000, 0x8000, 0x8000, 0x4321}));
  EXPECT_EQ(stream[4], 0x80);
  EXPECT_EQ(stream[5], 0x00);
  // A lone 0x0005 repeated: common and incrementing are both 5; the incrementing copy wins for the
  // first 5, the rest are common copies.
  stream = encode(bytes_of({0x0005, 0x0005, 0x0005}));
  EXPECT_EQ(Bytes(stream.begin() + 2, stream.begin() + 6), (Bytes{0x00, 0x05, 0x00, 0x05}));
  // 000000 (incrementing, 1), 010001 (common, 2), 1111111, padding.
  EXPECT_EQ(Bytes(stream.begin() + 6, stream.end()), (Bytes{0x01, 0x1F, 0xE0}));
}

TEST(EnigmaEncoder, RunsStopAtSixteenAndListsAtFifteen) {
  // 0, 1, 2 (the incrementing chain) and 17 common words: an incrementing copy of 3 (000010), a
  // common copy of 16 (011111) and one of 1 (010000), then the end code.
  Words common = {0x0000, 0x0001, 0x0002};
  common.insert(common.end(), 17, 0x0042);
  Bytes stream = encode(bytes_of(common));
  EXPECT_EQ(Bytes(stream.begin() + 6, stream.end()), (Bytes{0x09, 0xF4, 0x3F, 0x80}));
  // 17 equal words of a repeat, after other words that are common: a repeat of 16 and one of 1.
  Words words(20, 0x0001);
  words.insert(words.end(), 17, 0x0300);
  stream = encode(bytes_of(words));
  EXPECT_EQ(decode_words(stream), words);
  // 20 words, no two equal nor neighbours, none common (all counts 1: the smallest is common):
  // one incrementing or common word, then lists of at most 15.
  Words scattered;
  for (std::uint16_t i = 0; i < 20; ++i) scattered.push_back(static_cast<std::uint16_t>(i * 7 % 20 * 3 + 100));
  stream = encode(bytes_of(scattered));
  EXPECT_EQ(decode_words(stream), scattered);
  const RunMeasures runs = measure_runs(bytes_of(scattered), 1, 0, 0);
  EXPECT_EQ(runs.list_run, 15);
  EXPECT_EQ(runs.repeat_run, 1);
  EXPECT_EQ(measure_runs(bytes_of(words), 20, 0, 0).repeat_run, 16);
}

TEST(EnigmaEncoder, EndCodeCompletingAByteAddsAZeroByte) {
  // Words 0, 8: inline_bits 4, both header words 0. An incrementing copy of one (000000), a list of
  // one (111 0000, then 1000) and the end code: 6 + 7 + 4 + 7 = 24 bits, and then a 0x00 byte.
  const Bytes stream = encode(bytes_of({0x0000, 0x0008}));
  EXPECT_EQ(stream, (Bytes{0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x84, 0x7F, 0x00}));
  EnigmaDecodeResult result;
  EXPECT_EQ(decode_words(stream, &result), (Words{0x0000, 0x0008}));
  EXPECT_EQ(result.end_position, static_cast<std::int32_t>(stream.size()) + 1);
}

TEST(EnigmaEncoder, ValueAnalysisMatchesTheQuadraticDescription) {
  std::mt19937 random(2026);
  std::vector<Words> inputs = {
      {},
      {0xFFFF},
      {0xFFFF, 0x0000, 0x0001, 0xFFFF, 0x0000},  // a chain through the wrap
      {5, 3, 5, 3},                               // ties: the smaller wins
      {9, 8, 7, 6},                               // chains of one each: the smallest
      {0x8000, 0x8000, 0x7FFF, 0x8001},
  };
  for (int i = 0; i < 60; ++i) inputs.push_back(random_words(random, 1 + random() % 120));
  for (const Words& words : inputs) {
    const CommonAndIncrement fast = choose_common_and_increment(bytes_of(words));
    const CommonAndIncrement slow = quadratic_choice(words);
    EXPECT_EQ(fast.common_word, slow.common_word);
    EXPECT_EQ(fast.increment_word, slow.increment_word);
  }
}

TEST(EnigmaEncoder, EveryStreamDecodesBackToItsWords) {
  std::mt19937 random(11);
  std::vector<std::size_t> sizes = {0, 1, 2, 15, 16, 17, 31, 32768};
  for (int i = 0; i < 150; ++i) sizes.push_back(random() % 600);
  for (std::size_t size : sizes) {
    const Words words = random_words(random, size);
    const Bytes stream = encode(bytes_of(words));
    EnigmaDecodeResult result;
    ASSERT_EQ(decode_words(stream, &result), words) << size;
    EXPECT_EQ(result.status, EnigmaStatus::finished);
    EXPECT_EQ(result.end_position, static_cast<std::int32_t>(stream.size()) + 1) << size;
  }
}

}  // namespace
