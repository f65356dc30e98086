#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "enigma/enigma.h"
#include "support/enigma_stream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint16_t>;

struct Decoded {
  EnigmaDecodeResult result;
  Words words;
};

// Decodes `stream` placed at `offset` of an image with `after` more bytes behind it.
Decoded decode(const Bytes& stream, std::int32_t offset = 0x40, std::size_t after = 0) {
  InputImage image;
  image.data.assign(static_cast<std::size_t>(offset) + stream.size() + after, 0x00);
  std::copy(stream.begin(), stream.end(), image.data.begin() + offset);
  image.length = static_cast<std::int32_t>(image.data.size());
  std::vector<std::uint8_t> area(ENIGMA_OUTPUT_SIZE);
  Decoded d;
  d.result = enigma_decode(image, offset, area);
  for (std::int32_t i = 0; i + 1 < d.result.decoded_size; i += 2) {
    d.words.push_back(static_cast<std::uint16_t>(area[static_cast<std::size_t>(i)] << 8 | area[static_cast<std::size_t>(i) + 1]));
  }
  return d;
}

EnigmaHeader header(std::uint8_t inline_bits, std::uint8_t flag_mask, std::uint16_t increment = 0,
                    std::uint16_t common = 0) {
  return EnigmaHeader{inline_bits, flag_mask, increment, common};
}

// offset + 8 + floor(B / 8)
std::int32_t end_of(const EnigmaStreamWriter& w, std::int32_t offset = 0x40) {
  return offset + 8 + static_cast<std::int32_t>(w.stream_bits() / 8);
}

TEST(EnigmaDecoder, EndCodeAloneYieldsNothing) {
  const Bytes stream = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFE, 0x00};
  EXPECT_EQ(EnigmaStreamWriter(header(0, 0)).end().bytes(), Bytes(stream.begin(), stream.end() - 1));
  const Decoded d = decode(stream);
  EXPECT_EQ(d.result.status, EnigmaStatus::finished);
  EXPECT_TRUE(d.words.empty());
  EXPECT_EQ(d.result.end_position, 0x40 + 8);
}

TEST(EnigmaDecoder, EveryPacketKind) {
  EnigmaStreamWriter w(header(8, 0x11, 0x0100, 0xBEEF));
  w.incrementing(3)
      .common(2)
      .repeat(3, 0x8012)
      .incrementing(3)
      .ascending(2, 0x0803)
      .descending(3, 0x0001)
      .list({0x0007, 0x8808, 0x00FF})
      .end();
  const Decoded d = decode(w.bytes());
  ASSERT_EQ(d.result.status, EnigmaStatus::finished);
  EXPECT_EQ(d.words, (Words{0x0100, 0x0101, 0x0102, 0xBEEF, 0xBEEF, 0x8012, 0x8012, 0x8012, 0x0103, 0x0104,
                            0x0105, 0x0803, 0x0804, 0x0001, 0x0000, 0xFFFF, 0x0007, 0x8808, 0x00FF}));
  EXPECT_EQ(d.result.end_position, end_of(w));
}

TEST(EnigmaDecoder, CountFieldFifteenMakesSixteenWordsAndEndsAList) {
  EnigmaStreamWriter w(header(4, 0, 0, 0x1234));
  w.common(16).repeat(16, 5).ascending(16, 0).list({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}).end();
  const Decoded d = decode(w.bytes());
  ASSERT_EQ(d.words.size(), 16u * 3 + 15);
  EXPECT_EQ(d.words[15], 0x1234);
  EXPECT_EQ(d.words[31], 5);
  EXPECT_EQ(d.words[47], 15);
  EXPECT_EQ(d.words.back(), 15);
}

TEST(EnigmaDecoder, WrapArounds) {
  EnigmaStreamWriter w(header(16, 0, 0xFFFE));
  w.incrementing(3).ascending(3, 0xFFFF).descending(3, 0x0001).end();
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.words, (Words{0xFFFE, 0xFFFF, 0x0000, 0xFFFF, 0x0000, 0x0001, 0x0001, 0x0000, 0xFFFF}));
}

TEST(EnigmaDecoder, InlineValueShapes) {
  struct Case {
    std::uint8_t inline_bits;
    std::uint8_t flag_mask;
    std::uint16_t value;
  };
  const Case cases[] = {
      {0, 0x1F, 0xF800},  // flag bits alone
      {0, 0x00, 0x0000},  // nothing at all
      {11, 0x00, 0x07FF}, // low part alone
      {11, 0x1F, 0xABCD}, // 16 bits, bit 15 first
      {3, 0x0A, 0x5005},  // flag bits 14 and 12
  };
  for (const Case& c : cases) {
    EnigmaStreamWriter w(header(c.inline_bits, c.flag_mask));
    w.repeat(2, c.value).list({c.value}).end();
    const Decoded d = decode(w.bytes());
    EXPECT_EQ(d.words, (Words{c.value, c.value, c.value})) << int(c.inline_bits) << " " << int(c.flag_mask);
    EXPECT_EQ(d.result.end_position, end_of(w));
  }
}

TEST(EnigmaDecoder, InlineBitsAboveSixteenAddTheLowPartModuloAWord) {
  // Flag bit 15 and 20 low bits of ones: (0x8000 + 0xFFFFF) mod 0x10000 = 0x7FFF.
  EnigmaStreamWriter w(header(20, 0x10));
  w.bits(0b100, 3).bits(0, 4).bits(1, 1).bits(0xFFFFF, 20).end();
  EXPECT_EQ(decode(w.bytes()).words, Words{0x7FFF});
  // 255 low bits of ones under all five flag bits of zeros: the low part's low 16 bits.
  EnigmaStreamWriter wide(header(255, 0x1F));
  wide.bits(0b100, 3).bits(0, 4).bits(0, 5);
  for (int i = 0; i < 255; ++i) wide.bits(1, 1);
  wide.end();
  EXPECT_EQ(decode(wide.bytes()).words, Words{0xFFFF});
}

TEST(EnigmaDecoder, InlineValuesBeginningWithAnyNumberOfUnreadBits) {
  // A leading run of 1-bit-shifting packets moves where the next inline value starts; 12-bit values
  // then lie within the unread bits, use them up or run into the next byte.
  for (unsigned shift = 0; shift < 8; ++shift) {
    EnigmaStreamWriter w(header(11, 0x10));
    for (unsigned i = 0; i < shift; ++i) w.common(1).repeat(1, 0x0001);  // 6 + 7 + 12 bits each
    w.list({0x8123, 0x07FF, 0x8000, 0x0555, 0x82AA}).ascending(3, 0x87FE).end();
    const Decoded d = decode(w.bytes(), 0x40, 0);
    ASSERT_EQ(d.result.status, EnigmaStatus::finished) << shift;
    const Words tail(d.words.end() - 8, d.words.end());
    EXPECT_EQ(tail, (Words{0x8123, 0x07FF, 0x8000, 0x0555, 0x82AA, 0x87FE, 0x87FF, 0x8800})) << shift;
    EXPECT_EQ(d.result.end_position, end_of(w)) << shift;
  }
}

TEST(EnigmaDecoder, EndCodeOnAndOffAByteBoundary) {
  // 6 + 6 + 6 + 7 = 25 bits: the window stands one byte past the end code's last byte.
  EnigmaStreamWriter off(header(0, 0));
  off.common(1).common(1).common(1).end();
  ASSERT_EQ(off.stream_bits(), 25u);
  Decoded d = decode(off.bytes(), 0x40, 0);
  EXPECT_EQ(d.result.status, EnigmaStatus::finished);
  EXPECT_EQ(d.result.end_position, 0x40 + 8 + 3);
  EXPECT_EQ(d.result.end_position, 0x40 + static_cast<std::int32_t>(off.bytes().size()) + 1);

  // 6 + 6 + 6 + 7 + 7 = 32 bits: two bytes past, both beyond the end of this image.
  EnigmaStreamWriter on(header(0, 0));
  on.common(1).common(1).common(1).repeat(1, 0).end();
  ASSERT_EQ(on.stream_bits(), 32u);
  d = decode(on.bytes(), 0x40, 0);
  EXPECT_EQ(d.result.status, EnigmaStatus::finished);
  EXPECT_EQ(d.result.end_position, 0x40 + 8 + 4);
  EXPECT_EQ(d.result.end_position, 0x40 + static_cast<std::int32_t>(on.bytes().size()) + 2);
}

TEST(EnigmaDecoder, StreamsRunningOutsideTheImageFail) {
  EnigmaStreamWriter w(header(11, 0x18, 0x10, 0x20));
  w.incrementing(4).list({0x8001, 0x4002, 0x0003}).common(5).descending(7, 0x0100).end();
  const Bytes stream = w.bytes();
  // Every cut loses a bit the stream reads.
  for (std::size_t cut = 0; cut < stream.size(); ++cut) {
    const Decoded d = decode(Bytes(stream.begin(), stream.begin() + static_cast<long>(cut)), 0x40, 0);
    EXPECT_EQ(d.result.status, EnigmaStatus::outside_input) << cut;
    EXPECT_EQ(d.result.error_position, 0x40 + static_cast<std::int32_t>(cut)) << cut;
  }
  // No end code: zeros past the end would decode for ever as incrementing copies.
  const Decoded endless = decode(Bytes(stream.begin(), stream.end() - 1), 0x40, 0);
  EXPECT_EQ(endless.result.status, EnigmaStatus::outside_input);

  InputImage image;
  image.data = stream;
  image.length = static_cast<std::int32_t>(stream.size());
  std::vector<std::uint8_t> area(ENIGMA_OUTPUT_SIZE);
  for (std::int32_t offset : {-1, image.length, 0x7FFFFFFF}) {
    const EnigmaDecodeResult r = enigma_decode(image, offset, area);
    EXPECT_EQ(r.status, EnigmaStatus::outside_input) << offset;
    EXPECT_EQ(r.error_position, offset) << offset;
  }
}

TEST(EnigmaDecoder, OutputAreaHoldsExactlyItsSize) {
  // 32768 common copies of 16 words fill the 1 MiB area; one more word does not fit.
  EnigmaStreamWriter full(header(0, 0, 0, 0x1111));
  for (int i = 0; i < 32768; ++i) full.common(16);
  EnigmaStreamWriter over = full;
  full.end();
  Decoded d = decode(full.bytes());
  EXPECT_EQ(d.result.status, EnigmaStatus::finished);
  EXPECT_EQ(d.result.decoded_size, ENIGMA_OUTPUT_SIZE);
  over.incrementing(1).end();
  d = decode(over.bytes());
  EXPECT_EQ(d.result.status, EnigmaStatus::output_full);
  EXPECT_EQ(d.result.decoded_size, ENIGMA_OUTPUT_SIZE);
}

TEST(SpecialStageForm, CentresSixtyFourRowsBetweenZeroBlocksAndStripsBack) {
  struct Sink {
    Bytes bytes;
    int writes = 0;
    bool write(std::span<const std::uint8_t> block) {
      bytes.insert(bytes.end(), block.begin(), block.end());
      ++writes;
      return true;
    }
  };
  Bytes area(ENIGMA_OUTPUT_SIZE, 0);
  for (std::size_t i = 0; i < 5000; ++i) area[i] = static_cast<std::uint8_t>(1 + i % 251);
  Sink sink;
  ASSERT_TRUE(pad_special_stage(sink, area));
  EXPECT_EQ(sink.writes, 1 + 64 * 3 + 1);
  ASSERT_EQ(sink.bytes.size(), SpecialStageForm::SIZE);
  for (std::size_t at = 0; at < SpecialStageForm::SIZE; ++at) {
    const std::size_t in_rows = at - 4096;
    const bool data = at >= 4096 && at < 12288 && in_rows % 128 >= 32 && in_rows % 128 < 96;
    const std::uint8_t expected = data ? area[in_rows / 128 * 64 + in_rows % 128 - 32] : 0;
    ASSERT_EQ(sink.bytes[at], expected) << at;
  }
  const auto data = strip_special_stage(sink.bytes);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), area.begin()));

  // Past the end of a short form the rows read as zero.
  const auto partial = strip_special_stage(std::span(sink.bytes).first(4096 + 128 + 40));
  EXPECT_EQ(partial[0], area[0]);
  EXPECT_EQ(partial[71], area[71]);
  EXPECT_EQ(partial[72], 0);
  EXPECT_EQ(partial[4095], 0);
}

}  // namespace
