#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "enigma/enigma.h"
#include "support/enigma_stream.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string QUIRNOL = std::string(TOOLS_DIR) + "/QUIRNOL";

const std::string USAGE =
    "Decompresses data compressed in the Enigma compression format.\n\nQUIRNOL infile outfile offset [<options>]\ninfile:\t\tThe file that contains the compressed data.\noutfile:\tThe name of the file to create containing the decompressed\n\t\tdata.\noffset:\t\tThe location of the compressed data in the file. Can be\n\t\tprefixed by 0x or written as a regular number. All offsets in\n\t\thex.\n\n<options>\n-p\tAdd padding to file. Use if you want to convert a S1 special stage to\n\tthe form it's stored in when in a savetate.\n\n";
const std::string PROGRESS = "Decompressing file....\t";

Bytes rom_with(const Bytes& stream, std::size_t at = 0x100) {
  Bytes rom(at + stream.size(), 0xEE);
  std::copy(stream.begin(), stream.end(), rom.begin() + static_cast<long>(at));
  return rom;
}

// `words` words: a rising run of incrementing copies from 0x0101.
Bytes stream_of(std::size_t words) {
  EnigmaStreamWriter w(EnigmaHeader{4, 0, 0x0101, 0});
  for (std::size_t left = words; left > 0;) {
    const std::size_t n = std::min<std::size_t>(left, 16);
    w.incrementing(static_cast<unsigned>(n));
    left -= n;
  }
  return w.end().bytes();
}

Bytes words_from(std::size_t n, std::uint16_t first) {
  Bytes bytes;
  for (std::size_t i = 0; i < n; ++i) {
    const auto word = static_cast<std::uint16_t>(first + i);
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    bytes.push_back(static_cast<std::uint8_t>(word));
  }
  return bytes;
}

ProgramRun quirnol(const TempDir& dir, const std::vector<std::string>& arguments) {
  return run_program(QUIRNOL, arguments, dir.path());
}

TEST(Quirnol, TooFewArgumentsOrNoInput) {
  TempDir dir;
  ProgramRun run = quirnol(dir, {"rom.bin", "map.bin"});
  EXPECT_EQ(run.out, USAGE);
  EXPECT_EQ(run.status, 255);
  run = quirnol(dir, {"missing.bin", "map.bin", "0"});
  EXPECT_EQ(run.out, "\n\nInvalid rom filename!");
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(dir.names().empty());
}

TEST(Quirnol, ReportsAndWritesTheWords) {
  EnigmaStreamWriter w(EnigmaHeader{11, 0x18, 0x0010, 0x0000});
  w.common(16).incrementing(4).list({0x8001, 0x4002, 0x07FF}).descending(7, 0x0100).end();
  TempDir dir;
  dir.write("rom.bin", rom_with(w.bytes()));
  const ProgramRun run = quirnol(dir, {"rom.bin", "map.bin", "100"});
  // 16 + 4 + 3 + 7 = 30 words, 60 bytes; B = 6 + 6 + 7 + 3 * 13 + 7 + 13 + 7 = 85, so the end is
  // 0x100 + 8 + 10.
  EXPECT_EQ(run.out, PROGRESS +
                         "Done!\n\n"
                         "Archive in rom.bin successfully extracted to file map.bin.\n\n"
                         "Compressed file size:\t\t0x12\t\t18\n"
                         "Uncompressed file size:\t\t0x3C\t\t60\n"
                         "Location in file:\t\t0x100 - 0x112\n"
                         "Compression rate:\t\t70.00%\n\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
  Bytes expected = Bytes(32, 0);
  const Bytes rising = words_from(4, 0x0010);
  expected.insert(expected.end(), rising.begin(), rising.end());
  for (std::uint16_t word : {0x8001, 0x4002, 0x07FF, 0x0100, 0x00FF, 0x00FE, 0x00FD, 0x00FC, 0x00FB, 0x00FA}) {
    expected.push_back(static_cast<std::uint8_t>(word >> 8));
    expected.push_back(static_cast<std::uint8_t>(word));
  }
  EXPECT_EQ(dir.read("map.bin"), expected);
}

TEST(Quirnol, SpecialStageFormFromShortExactAndLongStreams) {
  for (std::size_t words : {100u, 2048u, 3000u}) {
    TempDir dir;
    const Bytes stream = stream_of(words);
    dir.write("rom.bin", rom_with(stream));
    const ProgramRun run = quirnol(dir, {"rom.bin", "stage.bin", "100", "-p"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Uncompressed file size:\t\t0x4000\t\t16384\n"), std::string::npos) << run.out;
    // The first 4096 bytes of the words (zero-filled beyond them), 64 to a row, centred in rows
    // of 128 between two blocks of 4096 zero bytes.
    Bytes data = words_from(std::min<std::size_t>(words, 2048), 0x0101);
    data.resize(4096, 0);
    Bytes expected(4096, 0);
    for (std::size_t row = 0; row < 64; ++row) {
      expected.resize(expected.size() + 32, 0);
      expected.insert(expected.end(), data.begin() + static_cast<long>(row * 64), data.begin() + static_cast<long>(row * 64 + 64));
      expected.resize(expected.size() + 32, 0);
    }
    expected.resize(16384, 0);
    EXPECT_EQ(dir.read("stage.bin"), expected) << words;
  }
}

TEST(Quirnol, OnlyAnExactFourthArgumentSelectsTheForm) {
  const Bytes stream = stream_of(10);
  for (const auto& options : std::vector<std::vector<std::string>>{{"-P"}, {"x", "-p"}, {"-p"}}) {
    TempDir dir;
    dir.write("rom.bin", rom_with(stream));
    std::vector<std::string> arguments = {"rom.bin", "map.bin", "100"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    EXPECT_EQ(quirnol(dir, arguments).status, 0);
    EXPECT_EQ(dir.read("map.bin").size(), options == std::vector<std::string>{"-p"} ? 16384u : 20u);
  }
}

TEST(Quirnol, EndCodeAloneGivesAnEmptyFile) {
  TempDir dir;
  dir.write("rom.bin", rom_with({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFE, 0x00}));
  const ProgramRun run = quirnol(dir, {"rom.bin", "map.bin", "0x100"});
  EXPECT_EQ(run.out, PROGRESS +
                         "Done!\n\n"
                         "Archive in rom.bin successfully extracted to file map.bin.\n\n"
                         "Compressed file size:\t\t0x8\t\t8\n"
                         "Uncompressed file size:\t\t0x0\t\t0\n"
                         "Location in file:\t\t0x100 - 0x108\n"
                         "Compression rate:\t\tn/a\n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(dir.exists("map.bin"));
  EXPECT_TRUE(dir.read("map.bin").empty());
}

TEST(Quirnol, StreamsOutsideTheFileOrTooLargeFailWithoutAFile) {
  const Bytes stream = stream_of(40);
  EnigmaStreamWriter huge(EnigmaHeader{0, 0, 0, 0});
  for (int i = 0; i < 32769; ++i) huge.common(16);
  huge.end();
  struct Case {
    Bytes rom;
    std::string offset;
    std::string out;
  };
  const Case cases[] = {
      {rom_with(stream), "FFFFFFFF", "The archive runs outside the file: the byte at 0xFFFFFFFF is not in it.\n\n"},
      {rom_with(stream), "200", "The archive runs outside the file: the byte at 0x200 is not in it.\n\n"},
      {rom_with(Bytes(stream.begin(), stream.end() - 3)), "100",
       "The archive runs outside the file: the byte at 0x" + hex(0x100 + stream.size() - 3) + " is not in it.\n\n"},
      {huge.bytes(), "0", "The archive decodes to more than 0x100000 bytes; stopped at 0x"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("rom.bin", c.rom);
    const ProgramRun run = quirnol(dir, {"rom.bin", "map.bin", c.offset});
    const std::string expected = PROGRESS + "Error!\n\n" + c.out;
    EXPECT_EQ(run.out.substr(0, expected.size()), expected);
    EXPECT_EQ(run.status, 255);
    EXPECT_FALSE(dir.exists("map.bin"));
  }
}

}  // namespace
