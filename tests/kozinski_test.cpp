#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "kozinski/kozinski.h"
#include "support/kozinski_stream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An input image holding `stream` at `start`, preceded by filler bytes.
InputImage image_with(const Bytes& stream, std::int32_t start = 0x100) {
  InputImage image;
  image.data.assign(static_cast<std::size_t>(start) + stream.size(), 0xEE);
  std::copy(stream.begin(), stream.end(), image.data.begin() + start);
  image.length = static_cast<std::int32_t>(image.data.size());
  return image;
}

struct Decoded {
  KozinskiResult result;
  Bytes output;  // the decoded bytes only
};

Decoded decode(const InputImage& image, std::int32_t start = 0x100) {
  std::vector<std::uint8_t> area(KOZINSKI_OUTPUT_SIZE);
  Decoded decoded;
  decoded.result = decode_kozinski(image, start, area);
  decoded.output.assign(area.begin(), area.begin() + decoded.result.decoded_length);
  return decoded;
}

Bytes repeated(std::uint8_t byte, std::size_t n) { return Bytes(n, byte); }

TEST(KozinskiDecoder, WorkedExampleGivesABABAB) {
  // Field 0x0093: bits 1, 1 (two literals), 0, 0, 1, 0 (short copy of 4 from -2), 0, 1 (end).
  const Bytes stream = {0x93, 0x00, 0x41, 0x42, 0xFE, 0xFF, 0xF8, 0x00};
  EXPECT_EQ(KozinskiStreamBuilder().literal('A').literal('B').short_copy(4, 2).end().bytes(), stream);
  const Decoded d = decode(image_with(stream));
  EXPECT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.output, Bytes({'A', 'B', 'A', 'B', 'A', 'B'}));
  EXPECT_EQ(d.result.end_position, 0x108);
}

TEST(KozinskiDecoder, EndPacketAloneDecodesToNothing) {
  const Decoded d = decode(image_with({0x02, 0x00, 0xFF, 0xF8, 0x00}));
  EXPECT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.result.decoded_length, 0);
  EXPECT_EQ(d.result.end_position - 0x100, 5);
}

TEST(KozinskiDecoder, FieldReloadedOnItsSixteenthBitStandsBeforeThatPacketsData) {
  // Sixteen literals; the last takes the 16th bit, so the second field (02 00: the end packet)
  // comes before the sixteenth literal byte.
  Bytes stream = {0xFF, 0xFF};
  for (int i = 0; i < 15; ++i) stream.push_back(static_cast<std::uint8_t>('a' + i));
  stream.insert(stream.end(), {0x02, 0x00, 'p', 0xFF, 0xF8, 0x00});
  const Bytes letters = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p'};
  EXPECT_EQ(KozinskiStreamBuilder().literals(letters).end().bytes(), stream);
  const Decoded d = decode(image_with(stream));
  EXPECT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.output, letters);
  EXPECT_EQ(d.result.end_position - 0x100, 23);
}

TEST(KozinskiDecoder, ShortCopyCodeStraddlingTwoFields) {
  // 14 literals take bits 1-14; the short copy's 0, 0 are bits 15 and 16, its h, l (1, 1) the
  // first two bits of the next field, and its offset byte follows that field.
  Bytes stream = {0xFF, 0x3F};
  for (int i = 0; i < 14; ++i) stream.push_back(static_cast<std::uint8_t>('a' + i));
  stream.insert(stream.end(), {0x0B, 0x00, 0xFF, 0xFF, 0xF8, 0x00});  // field: 1, 1, 0, 1
  KozinskiStreamBuilder builder;
  for (int i = 0; i < 14; ++i) builder.literal(static_cast<std::uint8_t>('a' + i));
  EXPECT_EQ(builder.short_copy(5, 1).end().bytes(), stream);
  const Decoded d = decode(image_with(stream));
  EXPECT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.result.decoded_length, 19);
  EXPECT_EQ(std::string(d.output.end() - 6, d.output.end()), "nnnnnn");
}

TEST(KozinskiDecoder, UnusedFieldAfterAnEndPacketOnTheSixteenthBitCounts) {
  // 14 literals, then the end packet's code 0, 1 as bits 15 and 16: one more field, none of whose
  // bits is used, stands before b0, b1, b2 and counts in the compressed size.
  KozinskiStreamBuilder builder;
  for (int i = 0; i < 14; ++i) builder.literal('x');
  const Bytes stream = builder.end().bytes();
  ASSERT_EQ(stream.size(), 2u + 14 + 2 + 3);
  EXPECT_EQ(stream[16], 0x00);
  EXPECT_EQ(stream[17], 0x00);
  const Decoded d = decode(image_with(stream));
  EXPECT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.result.decoded_length, 14);
  EXPECT_EQ(d.result.end_position - 0x100, 21);
}

TEST(KozinskiDecoder, EveryPacketKindCopiesItsCount) {
  struct Case {
    const char* name;
    void (*packet)(KozinskiStreamBuilder&);
    std::int32_t copied;
  };
  const Case cases[] = {
      {"short h=0 l=0", [](KozinskiStreamBuilder& s) { s.short_copy(2, 1); }, 2},
      {"short h=1 l=1", [](KozinskiStreamBuilder& s) { s.short_copy(5, 1); }, 5},
      {"short from 256 back", [](KozinskiStreamBuilder& s) { s.short_copy(3, 256); }, 3},
      {"long k=1", [](KozinskiStreamBuilder& s) { s.long_copy(3, 300); }, 3},
      {"long k=7", [](KozinskiStreamBuilder& s) { s.long_copy(9, 1); }, 9},
      {"long k=0 b2=1", [](KozinskiStreamBuilder& s) { s.no_copy(); }, 0},
      {"long k=0 b2=2", [](KozinskiStreamBuilder& s) { s.long_copy_extended(3, 2); }, 3},
      {"long k=0 b2=FF", [](KozinskiStreamBuilder& s) { s.long_copy_extended(256, 8192); }, 256},
  };
  // 8192 literals first, so every distance has a source.
  Bytes prefix(8192);
  for (std::size_t i = 0; i < prefix.size(); ++i) prefix[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  for (const Case& c : cases) {
    KozinskiStreamBuilder builder;
    builder.literals(prefix);
    c.packet(builder);
    builder.literal('z').end();
    const Decoded d = decode(image_with(builder.bytes()));
    ASSERT_EQ(d.result.status, KozinskiStatus::finished) << c.name;
    EXPECT_EQ(d.result.decoded_length, 8192 + c.copied + 1) << c.name;
    EXPECT_EQ(d.result.end_position, 0x100 + static_cast<std::int32_t>(builder.bytes().size()));
    EXPECT_EQ(d.output.back(), 'z') << c.name;
  }
}

TEST(KozinskiDecoder, OverlappingCopyRepeatsItsSource) {
  const Bytes stream = KozinskiStreamBuilder().literal('Q').long_copy_extended(200, 1).end().bytes();
  const Decoded d = decode(image_with(stream));
  EXPECT_EQ(d.output, repeated('Q', 201));
}

TEST(KozinskiDecoder, CopyFromBeforeTheOutputStopsWithItsTagAndPosition) {
  // A short copy as the first packet: reported just past its offset byte, start + 3.
  Decoded d = decode(image_with(KozinskiStreamBuilder().short_copy(2, 1).end().bytes()));
  EXPECT_EQ(d.result.status, KozinskiStatus::invalid_short_copy_offset);
  EXPECT_EQ(d.result.error_position, 0x103);

  // A long copy from 3 back after two bytes: reported at its b1, start + 2 + 2 + 1.
  d = decode(image_with(KozinskiStreamBuilder().literal('a').literal('b').long_copy(4, 3).end().bytes()));
  EXPECT_EQ(d.result.status, KozinskiStatus::invalid_long_copy_offset);
  EXPECT_EQ(d.result.error_position, 0x105);

  // The same with a count in b2, from far into the file, where the input position would hide it.
  d = decode(image_with(KozinskiStreamBuilder().literal('a').long_copy_extended(20, 2).end().bytes(), 0x3000),
             0x3000);
  EXPECT_EQ(d.result.status, KozinskiStatus::invalid_long_copy_offset);
  EXPECT_EQ(d.result.error_position, 0x3004);
}

TEST(KozinskiDecoder, LongCopyIsTestedAgainstTheOutputNotTheInputPosition) {
  // At the very start of a file the output soon outgrows the input position: a copy from 300
  // back, its byte b1 at input position 11, is valid.
  const Bytes stream = KozinskiStreamBuilder()
                           .literal('a')
                           .literal('b')
                           .long_copy_extended(256, 2)
                           .long_copy_extended(100, 8)
                           .long_copy(9, 300)
                           .end()
                           .bytes();
  const Decoded d = decode(image_with(stream, 0), 0);
  ASSERT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.result.decoded_length, 2 + 256 + 100 + 9);

  // Packets that copy nothing are not tested: a b2 = 1 packet and an end packet 8192 back.
  KozinskiStreamBuilder quiet;
  quiet.no_copy(8192).bit(0).bit(1).data(0x00).data(0x00).data(0x00);
  const Decoded q = decode(image_with(quiet.bytes(), 0), 0);
  EXPECT_EQ(q.result.status, KozinskiStatus::finished);
  EXPECT_EQ(q.result.decoded_length, 0);
  EXPECT_EQ(q.result.end_position, 8);
}

TEST(KozinskiDecoder, StreamEndingAtTheLastByteOfTheFileDecodes) {
  const Bytes stream = KozinskiStreamBuilder().literal('a').long_copy(5, 1).end().bytes();
  const InputImage image = image_with(stream);
  const Decoded d = decode(image);
  EXPECT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.result.end_position, image.length);
}

TEST(KozinskiDecoder, EveryTruncationRunsOutsideTheFile) {
  Bytes data;
  for (int i = 0; i < 600; ++i) data.push_back(static_cast<std::uint8_t>((i * i) % 13 + (i % 50 < 25 ? 0 : 'a')));
  const Bytes stream = compress_kozinski(data);
  ASSERT_EQ(decode(image_with(stream)).output, data);
  for (std::size_t cut = 0; cut < stream.size(); ++cut) {
    const Bytes truncated(stream.begin(), stream.begin() + static_cast<long>(cut));
    const InputImage image = image_with(truncated);
    const Decoded d = decode(image);
    ASSERT_EQ(d.result.status, KozinskiStatus::outside_input) << "cut at " << cut;
    EXPECT_GE(d.result.error_position, image.length) << "cut at " << cut;
  }
}

TEST(KozinskiDecoder, StartOutsideTheFileIsReportedAtTheStart) {
  const InputImage image = image_with({0x02, 0x00, 0xFF, 0xF8, 0x00});
  for (std::int32_t start : {-1, std::numeric_limits<std::int32_t>::min(), 0x105, 0x7FFFFFFF}) {
    const Decoded d = decode(image, start);
    EXPECT_EQ(d.result.status, KozinskiStatus::outside_input) << start;
    EXPECT_EQ(d.result.error_position, start);
  }
  const Decoded empty = decode(InputImage{}, 0);
  EXPECT_EQ(empty.result.status, KozinskiStatus::outside_input);
  EXPECT_EQ(empty.result.error_position, 0);
}

TEST(KozinskiDecoder, OutputAreaHoldsExactlyItsSizeAndNoMore) {
  // One literal and copies of 256 bytes fill the area to its last byte; one more byte overflows.
  KozinskiStreamBuilder full;
  full.literal(0x55);
  for (int i = 0; i < 4095; ++i) full.long_copy_extended(256, 1);
  full.long_copy_extended(255, 1);
  KozinskiStreamBuilder over = full;
  full.end();
  Decoded d = decode(image_with(full.bytes()));
  EXPECT_EQ(d.result.status, KozinskiStatus::finished);
  EXPECT_EQ(d.result.decoded_length, KOZINSKI_OUTPUT_SIZE);

  over.literal(0x66);
  const auto past_literal = static_cast<std::int32_t>(over.bytes().size());
  over.end();
  d = decode(image_with(over.bytes()));
  EXPECT_EQ(d.result.status, KozinskiStatus::output_full);
  EXPECT_EQ(d.result.decoded_length, KOZINSKI_OUTPUT_SIZE);
  EXPECT_EQ(d.result.error_position, 0x100 + past_literal);
}

TEST(KozinskiDecoder, RandomBytesNeverEscapeTheirBuffers) {
  // Whatever the bytes, the decoder ends with a status and stays inside the image and the area
  // (the sanitizer build checks the second half of that).
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(seed >> 24);
  };
  for (int round = 0; round < 300; ++round) {
    Bytes noise(static_cast<std::size_t>(round * 3));
    for (std::uint8_t& byte : noise) byte = next();
    const InputImage image = image_with(noise, 0);
    const Decoded d = decode(image, 0);
    if (d.result.status == KozinskiStatus::finished) {
      EXPECT_LE(d.result.end_position, image.length);
    }
    EXPECT_LE(d.result.decoded_length, KOZINSKI_OUTPUT_SIZE);
  }
}

TEST(KozinskiStream, GreedyCompressorRoundTrips) {
  Bytes data;
  for (int i = 0; i < 5000; ++i) data.push_back(static_cast<std::uint8_t>(i % 97 < 40 ? i % 7 : (i * 31) >> 3));
  const Bytes stream = compress_kozinski(data);
  EXPECT_LT(stream.size(), data.size());
  EXPECT_EQ(decode(image_with(stream)).output, data);
}

}  // namespace
