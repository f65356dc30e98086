#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nemesis/nemesis.h"
#include "support/nemesis_archive.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Trial {
  int built = 0;
  int decoded = 0;  // 0 when the build failed and decoding did not run
  NemesisState state;
  Bytes output;
  std::int32_t tile_count = 0;
  NemesisDictionary dictionary{};
};

// The tools' sequence: set-up, build, decode, on an image holding `archive` at `offset`.
Trial run_archive(const Bytes& archive, bool force = false, std::size_t offset = 0, std::size_t extra = 0) {
  Trial run;
  static Bytes image;  // kept alive for the state's span
  image.assign(offset + archive.size() + extra, 0x00);
  std::copy(archive.begin(), archive.end(), image.begin() + static_cast<long>(offset));
  run.state.dictionary = &run.dictionary;
  run.state.force = force ? 1 : 0;
  run.built = start_archive(run.state, image, static_cast<std::int32_t>(offset));
  if (run.built != NEMESIS_DONE) return run;
  run.tile_count = run.state.tiles_left;
  run.output.assign(static_cast<std::size_t>(run.tile_count) * 32, 0xAA);
  run.state.output = run.output;
  run.built = build_dictionary(run.state);
  if (run.built == NEMESIS_DONE) run.decoded = decode_tiles(run.state);
  return run;
}

Bytes tile_of_nibble(unsigned nibble) { return Bytes(32, static_cast<std::uint8_t>(nibble * 0x11)); }

TEST(NemesisDecoder, WorkedExampleGivesAZeroTileAndEndsNineBytesIn) {
  const Bytes archive = {0x00, 0x01, 0x80, 0x71, 0x00, 0xFF, 0x00, 0x00, 0x00};
  NemesisArchiveBuilder built(1);
  built.entry(0, 8, 1, 0).end_table();
  for (int i = 0; i < 8; ++i) built.code(1, 0);
  EXPECT_EQ(built.bytes(), archive);
  const Trial run = run_archive(archive, false, 0x40, 16);
  EXPECT_EQ(run.built, NEMESIS_DONE);
  EXPECT_EQ(run.decoded, NEMESIS_DONE);
  EXPECT_EQ(run.output, Bytes(32, 0));
  EXPECT_EQ(run.state.write_pos, 32);
  EXPECT_EQ(run.state.tiles_left, 0);
  EXPECT_EQ(run.state.read_pos, 0x40 + 9);
}

TEST(NemesisDecoder, TileCountZeroTakesTwoStreamBytesAndWritesNothing) {
  const Bytes archive = NemesisArchiveBuilder(0).entry(3, 1, 2, 1).end_table().bytes();
  const Trial run = run_archive(archive, false, 0, 8);
  EXPECT_EQ(run.decoded, NEMESIS_DONE);
  EXPECT_EQ(run.state.write_pos, 0);
  EXPECT_EQ(run.state.read_pos, 2 + 3 + 1 + 2);
}

TEST(NemesisDecoder, EmptyTableDecodesOnlyEscapes) {
  NemesisArchiveBuilder escapes(1);
  escapes.end_table();
  for (int i = 0; i < 8; ++i) escapes.escape(8, 0xC);
  Trial run = run_archive(escapes.bytes());
  EXPECT_EQ(run.decoded, NEMESIS_DONE);
  EXPECT_EQ(run.output, tile_of_nibble(0xC));
  EXPECT_EQ(run.state.read_pos, static_cast<std::int32_t>(escapes.archive_end()));

  NemesisArchiveBuilder one_code(1);
  one_code.end_table().escape(8, 1).code(8, 0x00);
  run = run_archive(one_code.bytes());
  EXPECT_EQ(run.decoded, NEMESIS_EMPTY_ENTRY_MET);
}

TEST(NemesisDictionary, FaultsInOrderAndWhatForceMakesOfThem) {
  struct Case {
    const char* name;
    Bytes table;  // after the header 00 01
    int result;
    int forced;
  };
  const Case cases[] = {
      {"no marker first", {0x71, 0x00, 0xFF}, NEMESIS_NO_WRITE_VALUE, NEMESIS_DONE},
      {"marker then FF", {0x85, 0xFF, 0x00, 0xFF}, NEMESIS_BAD_WRITE_COUNT, NEMESIS_DONE},
      {"write count field 8", {0x85, 0x81, 0x00, 0xFF}, NEMESIS_BAD_WRITE_COUNT, NEMESIS_DONE},
      {"packet size 0", {0x85, 0x70, 0x00, 0xFF}, NEMESIS_PACKET_SIZE_ZERO, NEMESIS_DONE},
      {"packet size 9", {0x85, 0x79, 0x00, 0xFF}, NEMESIS_PACKET_SIZE_OVER_8, NEMESIS_DONE},
      {"size 2 code 4", {0x85, 0x72, 0x04, 0xFF}, NEMESIS_CODE_TOO_WIDE, NEMESIS_DONE},
      {"overlap", {0x85, 0x71, 0x00, 0x72, 0x01, 0xFF}, NEMESIS_ENTRY_TAKEN, NEMESIS_ENTRY_TAKEN},
      {"same code twice", {0x85, 0x78, 0x10, 0x78, 0x10, 0xFF}, NEMESIS_ENTRY_TAKEN, NEMESIS_ENTRY_TAKEN},
  };
  for (const Case& c : cases) {
    Bytes archive = {0x00, 0x01};
    archive.insert(archive.end(), c.table.begin(), c.table.end());
    archive.resize(archive.size() + 40, 0x00);
    EXPECT_EQ(run_archive(archive).built, c.result) << c.name;
    EXPECT_EQ(run_archive(archive, true).built, c.forced) << c.name << " with force";
  }
}

TEST(NemesisDictionary, ForcedEntriesAreStoredAsComputed) {
  struct Case {
    const char* name;
    Bytes table;
    unsigned index;
    std::uint16_t entry;
    int filled;  // entries filled
  };
  const Case cases[] = {
      {"no marker takes write value 15", {0x71, 0x00, 0xFF}, 0x00, 0x017F, 128},
      {"write count field kept", {0x85, 0xF8, 0x12, 0xFF}, 0x12, 0x08F5, 1},
      {"packet size 0 fills all", {0x85, 0x30, 0x00, 0xFF}, 0xFF, 0x0035, 256},
      {"packet size 12 fills its first 8 bits", {0x85, 0x0C, 0xA0, 0xFF}, 0x0A, 0x0C05, 1},
      {"size 2 code 4 keeps its low bits", {0x85, 0x02, 0x04, 0xFF}, 0x00, 0x0205, 64},
  };
  for (const Case& c : cases) {
    Bytes archive = {0x00, 0x00};
    archive.insert(archive.end(), c.table.begin(), c.table.end());
    const Trial run = run_archive(archive, true, 0, 4);
    ASSERT_EQ(run.built, NEMESIS_DONE) << c.name;
    EXPECT_EQ(run.dictionary[c.index], c.entry) << c.name;
    EXPECT_EQ(std::count_if(run.dictionary.begin(), run.dictionary.end(),
                            [](std::uint16_t e) { return e != EMPTY_ENTRY; }),
              c.filled)
        << c.name;
  }
}

TEST(NemesisDecoder, RunsCrossRowsAndTilesAndTheLastIsDropped) {
  // Tile 0: seven 1s, then a run of 8 2s from the last slot of row 0 into row 1, six more runs of 8
  // 2s, then a run of 8 3s from the last slot of tile 0 into tile 1. Tile 1 ends with a run of 8 4s
  // started in its last slot: seven of them are dropped.
  NemesisArchiveBuilder archive(2);
  archive.entry(1, 7, 2, 0).entry(2, 8, 2, 1).entry(3, 8, 3, 4).entry(5, 8, 3, 5).entry(4, 8, 3, 6).end_table();
  archive.code(2, 0);
  for (int i = 0; i < 7; ++i) archive.code(2, 1);
  archive.code(3, 4);
  for (int i = 0; i < 7; ++i) archive.code(3, 5);  // slots 7 to 62 of tile 1: 5s
  archive.code(3, 6);
  const Trial run = run_archive(archive.bytes());
  ASSERT_EQ(run.decoded, NEMESIS_DONE);
  Bytes expected(64);
  std::string nibbles = std::string(7, '1') + std::string(56, '2') + std::string(8, '3') + std::string(56, '5') + "4";
  for (std::size_t i = 0; i < 64; ++i) {
    expected[i] = static_cast<std::uint8_t>((nibbles[2 * i] - '0') << 4 | (nibbles[2 * i + 1] - '0'));
  }
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(run.state.read_pos, static_cast<std::int32_t>(archive.archive_end()));
}

TEST(NemesisDecoder, XorModeChainsRowsAcrossTiles) {
  // Decoded rows: row r of the stream holds nibble r + 1 everywhere (rows 0 to 15 over two tiles).
  for (int tiles : {1, 2}) {
    NemesisArchiveBuilder archive(tiles, true);
    for (unsigned n = 1; n <= 15; ++n) archive.entry(n, 8, 4, n);
    archive.entry(0, 8, 4, 0).end_table();
    for (int row = 0; row < tiles * 8; ++row) archive.code(4, static_cast<unsigned>(row + 1) & 0xF);
    const Trial run = run_archive(archive.bytes());
    ASSERT_EQ(run.decoded, NEMESIS_DONE);
    std::uint8_t previous = 0;
    for (int row = 0; row < tiles * 8; ++row) {
      const auto decoded = static_cast<std::uint8_t>(((row + 1) & 0xF) * 0x11);
      const std::uint8_t expected = row == 0 ? decoded : static_cast<std::uint8_t>(decoded ^ previous);
      for (int k = 0; k < 4; ++k) EXPECT_EQ(run.output[static_cast<std::size_t>(row * 4 + k)], expected) << row;
      previous = expected;
    }
  }
}

TEST(NemesisDecoder, EscapeWithFourteenBitsUnreadFetchesBeforeReading) {
  // A 2-bit code leaves 14 bits unread; the escape then needs a fetch before it is read.
  NemesisArchiveBuilder archive(1);
  archive.entry(7, 1, 2, 0).end_table();
  archive.code(2, 0).escape(8, 0x9).escape(7, 0xA);
  for (int i = 0; i < 6; ++i) archive.escape(8, 0x3);
  const Trial run = run_archive(archive.bytes());
  ASSERT_EQ(run.decoded, NEMESIS_DONE);
  EXPECT_EQ(run.output[0], 0x79);
  EXPECT_EQ(run.output[3], 0x99);
  EXPECT_EQ(run.output[4], 0x9A);
  EXPECT_EQ(run.output[7], 0xAA);
  EXPECT_EQ(run.output[8], 0x33);
  EXPECT_EQ(run.output[31], 0x33);
  EXPECT_EQ(run.state.read_pos, static_cast<std::int32_t>(archive.archive_end()));
}

TEST(NemesisDecoder, CompressedTilesComeBackWithTheArchiveEnd) {
  Bytes tiles(32 * 40);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    tiles[i] = static_cast<std::uint8_t>((i / 96) % 3 == 0 ? 0x11 * (i % 5) : (i * 37 + i / 7) & 0xFF);
  }
  for (bool xor_mode : {false, true}) {
    const Bytes archive = compress_nemesis(tiles, xor_mode);
    const Trial run = run_archive(archive, false, 0x10, 0);  // ends at the image's last byte
    ASSERT_EQ(run.decoded, NEMESIS_DONE);
    EXPECT_EQ(run.output, tiles);
    EXPECT_EQ(run.state.read_pos, 0x10 + static_cast<std::int32_t>(archive.size()));
  }
}

TEST(NemesisDecoder, EveryTruncationAndOffsetOutsideTheImageFails) {
  // The stream's last one or two bytes are fetched ahead without any bit of theirs being used: cut
  // there, the archive still decodes with the same end. Cut anywhere before, it runs outside.
  NemesisArchiveBuilder builder(2);
  builder.entry(1, 3, 3, 2).entry(2, 8, 2, 0).entry(6, 1, 5, 0x1A).end_table();
  // Eight groups of 8 + 3 + 1 + 4 slots fill the two tiles exactly.
  for (int i = 0; i < 8; ++i) builder.code(2, 0).code(3, 2).code(5, 0x1A).escape(4, 9);
  const Bytes archive = builder.bytes();
  const std::size_t used_end = builder.table_size() + (builder.stream_bits() + 7) / 8;
  ASSERT_LT(used_end, archive.size());
  for (std::size_t cut = 0; cut < archive.size(); ++cut) {
    const Trial run = run_archive(Bytes(archive.begin(), archive.begin() + static_cast<long>(cut)));
    const int result = run.built == NEMESIS_DONE ? run.decoded : run.built;
    if (cut < used_end) {
      EXPECT_EQ(result, NEMESIS_OUTSIDE_INPUT) << "cut at " << cut;
      EXPECT_EQ(run.state.outside_position, static_cast<std::int64_t>(cut)) << "cut at " << cut;
    } else {
      EXPECT_EQ(result, NEMESIS_DONE) << "cut at " << cut;
      EXPECT_EQ(run.state.read_pos, static_cast<std::int32_t>(archive.size())) << "cut at " << cut;
    }
  }
  NemesisState state;
  NemesisDictionary dictionary;
  state.dictionary = &dictionary;
  for (std::int32_t offset : {-1, static_cast<std::int32_t>(archive.size()) - 1, 0x7FFFFFFF}) {
    EXPECT_EQ(start_archive(state, archive, offset), NEMESIS_OUTSIDE_INPUT) << offset;
  }
}

TEST(NemesisDecoder, ForceNeverWritesPastTheTilesWhateverTheEntries) {
  // A forced table with a 12-bit code and mostly empty entries, over noise.
  std::uint32_t seed = 7;
  for (int round = 0; round < 50; ++round) {
    Bytes archive = {0x00, 0x05, 0x85, 0x0C, 0xA0, 0x83, 0x7F, 0x12, 0xFF};
    for (int i = 0; i < 200; ++i) archive.push_back(static_cast<std::uint8_t>((seed = seed * 69069u + 1u) >> 24));
    const Trial run = run_archive(archive, true);
    ASSERT_EQ(run.built, NEMESIS_DONE);
    EXPECT_TRUE(run.decoded == NEMESIS_DONE || run.decoded == NEMESIS_OUTSIDE_INPUT) << run.decoded;
    EXPECT_LE(run.state.write_pos, 5 * 32);
  }
  // Empty entries under force read as a 15-bit code of sixteen 15s.
  NemesisArchiveBuilder empty(1);
  empty.end_table().code(8, 0x00).code(7, 0).code(8, 0x00).code(7, 0).code(8, 0x00).code(7, 0).code(8, 0x00);
  const Trial run = run_archive(empty.bytes(), true, 0, 4);
  ASSERT_EQ(run.decoded, NEMESIS_DONE);
  EXPECT_EQ(run.output, tile_of_nibble(0xF));
}

TEST(NemesisDecoder, RefusesAnOutputAreaTooSmallForTheTiles) {
  const Bytes archive = {0x00, 0x02, 0x80, 0x71, 0x00, 0xFF, 0x00, 0x00, 0x00};
  Bytes image = archive;
  NemesisState state;
  NemesisDictionary dictionary;
  state.dictionary = &dictionary;
  ASSERT_EQ(start_archive(state, image, 0), NEMESIS_DONE);
  Bytes output(32);
  state.output = output;
  ASSERT_EQ(build_dictionary(state), NEMESIS_DONE);
  EXPECT_EQ(decode_tiles(state), NEMESIS_OUTPUT_TOO_SMALL);
}

// A few tiles of `seed`'s pattern, compressed; its code table passes the order check.
Bytes archive_of(unsigned seed, int tiles, bool xor_mode = false) {
  Bytes data(static_cast<std::size_t>(tiles) * 32);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(((i / 8 + seed) % 3) * 0x11 * (seed % 4 + 1));
  return compress_nemesis(data, xor_mode);
}

void place(Bytes& image, std::size_t at, const Bytes& bytes) {
  if (image.size() < at + bytes.size()) image.resize(at + bytes.size(), 0);
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(at));
}

TEST(NemesisScan, FindsArchivesAtEvenOffsetsOnly) {
  Bytes image(0x2000, 0x00);
  place(image, 0x100, archive_of(1, 3));
  place(image, 0x400, archive_of(2, 5, true));  // XOR mode: header bit 15 set
  place(image, 0x801, archive_of(3, 2));        // odd: never a candidate
  place(image, 0xC00, archive_of(4, 1));
  const Bytes last = archive_of(5, 2);
  image.resize(0x1000);
  place(image, 0x1000, last);  // ends at the image's last byte
  ASSERT_EQ(image[0x400] & 0x80, 0x80);
  EXPECT_EQ(find_nemesis_archives(image), (std::vector<std::int32_t>{0x100, 0x400, 0xC00, 0x1000}));
}

TEST(NemesisScan, OverlappingArchivesAreBothFound) {
  // The first archive's last two bytes are only fetched ahead (its stream is a whole number of
  // bytes), so the second archive's header can stand there without changing the first.
  NemesisArchiveBuilder first(1);
  first.entry(2, 8, 1, 0).end_table();
  for (int i = 0; i < 8; ++i) first.code(1, 0);
  Bytes image = first.bytes();
  ASSERT_EQ(image.size(), 6u + 1 + 2);
  image.resize(8);  // an even start for the second: the last fetched-ahead byte of the first
  const Bytes second = archive_of(6, 1);
  ASSERT_EQ(second[0], 0x00);  // its header's first byte is the first's padding byte, 0
  place(image, 8, second);
  EXPECT_EQ(find_nemesis_archives(image), (std::vector<std::int32_t>{0, 8}));
}

TEST(NemesisScan, ByteTestsAndDictionaryOrderRejectCandidates) {
  const Bytes good = archive_of(7, 2);
  struct Case {
    const char* name;
    Bytes archive;
  };
  Bytes header_bits = good;
  header_bits[0] |= 0x08;  // a bit of 11-14 set
  Bytes zero_tiles = good;
  zero_tiles[0] = 0;
  zero_tiles[1] = 0;
  Bytes marker_bits = good;
  marker_bits[2] |= 0x10;  // marker bits 4-6 set
  Bytes no_marker = good;
  no_marker[2] = 0x71;  // a table without a leading marker byte
  // Entry 0 empty, entry 1 filled: code 0000 0001 of 8 bits only.
  Bytes gap(46, 0x01);
  const Bytes gap_table = {0x00, 0x01, 0x80, 0x78, 0x01, 0xFF};
  std::copy(gap_table.begin(), gap_table.end(), gap.begin());
  const Case rejected[] = {{"header bits", header_bits}, {"tile count 0", zero_tiles},
                           {"marker bits", marker_bits}, {"no marker", no_marker},
                           {"order", gap},               {"empty table", {0x00, 0x01, 0xFF, 0xFC, 0x00}}};
  for (const Case& c : rejected) {
    EXPECT_TRUE(find_nemesis_archives(c.archive).empty()) << c.name;
  }
  EXPECT_EQ(find_nemesis_archives(good), std::vector<std::int32_t>{0});

  // Entries 0 to 63 filled, 64 to 127 empty, 128 to 255 filled: in order.
  NemesisDictionary dictionary;
  dictionary.fill(EMPTY_ENTRY);
  std::fill(dictionary.begin(), dictionary.begin() + 64, 0x0271);
  std::fill(dictionary.begin() + 128, dictionary.end(), 0x0112);
  EXPECT_EQ(check_dictionary_order(dictionary), NEMESIS_DONE);
  dictionary.fill(EMPTY_ENTRY);
  dictionary[1] = 0x0811;
  EXPECT_EQ(check_dictionary_order(dictionary), NEMESIS_DICTIONARY_OUT_OF_ORDER);
}

TEST(NemesisScan, TruncatedArchivesAreNotFound) {
  const Bytes archive = archive_of(8, 3);
  for (std::size_t cut = 0; cut + 2 < archive.size(); ++cut) {
    EXPECT_TRUE(find_nemesis_archives(Bytes(archive.begin(), archive.begin() + static_cast<long>(cut))).empty()) << cut;
  }
}

}  // namespace
