#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "enigma/enigma.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string VOLSKAR = std::string(TOOLS_DIR) + "/VOLSKAR";
const std::string QUIRNOL = std::string(TOOLS_DIR) + "/QUIRNOL";

const std::string USAGE =
    "Compresses a file using the Engima compression format.\n\nVOLSKAR infile outfile [<options>]\ninfile:\t\tThe file that contains the uncompressed level.\noutfile:\tThe name of the file to create containing the compressed level.\n\n<options>\n-p\tStrip padding from file. Use if compressing a special stage that's in\n\tthe extended 16kb form.\n\n";
const std::string PROGRESS =
    "Calculating common and increment values......\tDone!\nCompressing file......\t\t\t\tDone!\n\n";

ProgramRun volskar(const TempDir& dir, const std::vector<std::string>& arguments) {
  return run_program(VOLSKAR, arguments, dir.path());
}

// Decodes `name` at offset 0 with QUIRNOL and returns the decoded bytes.
Bytes decoded_by_quirnol(const TempDir& dir, const std::string& name) {
  const ProgramRun run = run_program(QUIRNOL, {name, "decoded.bin", "0"}, dir.path());
  EXPECT_EQ(run.status, 0) << run.out;
  return dir.read("decoded.bin");
}

// A plane map of 64 x 32 words of the usual shape.
Bytes map_words(std::size_t words, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes;
  for (std::size_t i = 0; i < words; ++i) {
    const std::uint16_t word = (i / 64) % 5 == 0 ? static_cast<std::uint16_t>(0x8000 | (i % 64)) : random() % 3 == 0 ? static_cast<std::uint16_t>(random() % 64) : 0;
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    bytes.push_back(static_cast<std::uint8_t>(word));
  }
  return bytes;
}

TEST(Volskar, TooFewArgumentsOrNoInput) {
  TempDir dir;
  ProgramRun run = volskar(dir, {"map.bin"});
  EXPECT_EQ(run.out, USAGE);
  EXPECT_EQ(run.status, 255);
  run = volskar(dir, {"missing.bin", "map.eni"});
  EXPECT_EQ(run.out, "\n\nError opening source file!");
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(dir.names().empty());
}

TEST(Volskar, ReportsAndWritesTheStream) {
  TempDir dir;
  dir.write("map.bin", {0x00, 0x00});
  const ProgramRun run = volskar(dir, {"map.bin", "map.eni"});
  EXPECT_EQ(run.out, PROGRESS +
                         "map.bin successfully compressed into file map.eni\n\n"
                         "Original filesize:\t0x2\t\t2\n"
                         "Compressed filesize:\t0x8\t\t8\n"
                         "Compression rate:\t-300.00%\n\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(dir.read("map.eni"), (Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xF8}));
}

TEST(Volskar, EmptyInputGivesSevenBytesAndNoRateFigure) {
  TempDir dir;
  dir.write("map.bin", {});
  const ProgramRun run = volskar(dir, {"map.bin", "map.eni"});
  EXPECT_EQ(run.out, PROGRESS +
                         "map.bin successfully compressed into file map.eni\n\n"
                         "Original filesize:\t0x0\t\t0\n"
                         "Compressed filesize:\t0x7\t\t7\n"
                         "Compression rate:\tn/a\n\n");
  EXPECT_EQ(dir.read("map.eni"), (Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFE}));
}

TEST(Volskar, StreamsDecodeBackAndEndOnePastTheFile) {
  TempDir dir;
  const Bytes map = map_words(64 * 32, 3);
  dir.write("map.bin", map);
  ASSERT_EQ(volskar(dir, {"map.bin", "map.eni"}).status, 0);
  const std::size_t stream_length = dir.read("map.eni").size();
  EXPECT_EQ(decoded_by_quirnol(dir, "map.eni"), map);
  const ProgramRun run = run_program(QUIRNOL, {"map.eni", "decoded.bin", "0"}, dir.path());
  EXPECT_NE(run.out.find("Location in file:\t\t0x0 - 0x" + hex(stream_length + 1) + "\n"), std::string::npos) << run.out;
}

TEST(Volskar, SpecialStageFormWrittenByQuirnolComesBack) {
  // A stream of 2048 words; QUIRNOL -p writes its 16 KB form; VOLSKAR -p compresses the form's
  // 64 rows; QUIRNOL decodes that stream to the same 4096 bytes.
  const Bytes rows = map_words(2048, 5);
  std::vector<std::uint8_t> stream;
  enigma_compress(rows, stream);
  for (const char* option : {"-p", "-P"}) {
    TempDir dir;
    dir.write("stage.eni", stream);
    ASSERT_EQ(run_program(QUIRNOL, {"stage.eni", "stage.bin", "0", "-p"}, dir.path()).status, 0);
    ASSERT_EQ(dir.read("stage.bin").size(), 16384u);
    const ProgramRun run = volskar(dir, {"stage.bin", "again.eni", option});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Original filesize:\t0x1000\t\t4096\n"), std::string::npos) << run.out;
    EXPECT_EQ(dir.read("again.eni"), stream);
    EXPECT_EQ(decoded_by_quirnol(dir, "again.eni"), rows);
  }
}

TEST(Volskar, OnlyTheThirdArgumentIsAnOptionAndPaddingBytesDoNotCount) {
  TempDir dir;
  Bytes form(16384, 0xAB);  // padding areas not zero: they must not matter
  for (std::size_t row = 0; row < 64; ++row) {
    for (std::size_t i = 0; i < 64; ++i) form[4096 + row * 128 + 32 + i] = static_cast<std::uint8_t>(row);
  }
  dir.write("stage.bin", form);
  ProgramRun run = volskar(dir, {"stage.bin", "a.eni", "-x", "-p"});
  EXPECT_NE(run.out.find("Original filesize:\t0x4000\t\t16384\n"), std::string::npos);
  run = volskar(dir, {"stage.bin", "b.eni", "-p"});
  Bytes rows;
  for (std::size_t row = 0; row < 64; ++row) rows.insert(rows.end(), 64, static_cast<std::uint8_t>(row));
  EXPECT_EQ(decoded_by_quirnol(dir, "b.eni"), rows);

  // A form cut short: the missing rows are zero.
  dir.write("short.bin", Bytes(form.begin(), form.begin() + 4096 + 128 * 2 + 40));
  ASSERT_EQ(volskar(dir, {"short.bin", "c.eni", "-p"}).status, 0);
  Bytes partial(4096, 0);  // row 0 holds zeros; row 1 ones; row 2 only its first 8 bytes
  std::fill(partial.begin() + 64, partial.begin() + 128, 1);
  std::fill(partial.begin() + 128, partial.begin() + 136, 2);
  EXPECT_EQ(decoded_by_quirnol(dir, "c.eni"), partial);
}

TEST(Volskar, OddLengthIsRefusedBeforeAnyOutput) {
  TempDir dir;
  dir.write("odd.bin", {0x00, 0x01, 0x02});
  const ProgramRun run = volskar(dir, {"odd.bin", "odd.eni"});
  EXPECT_EQ(run.out, "\n\nThe source file holds 3 bytes, an odd number: it is not a file of 16-bit words.\n\n");
  EXPECT_EQ(run.status, 255);
  EXPECT_FALSE(dir.exists("odd.eni"));
  // Its 16 KB form is a different matter: 4096 bytes are taken from it whatever its length.
  EXPECT_EQ(volskar(dir, {"odd.bin", "odd.eni", "-p"}).status, 0);
}

TEST(Volskar, CompressingAFileOntoItselfKeepsItsWords) {
  TempDir dir;
  const Bytes map = map_words(500, 8);
  dir.write("map.bin", map);
  ASSERT_EQ(volskar(dir, {"map.bin", "map.bin"}).status, 0);
  EXPECT_EQ(decoded_by_quirnol(dir, "map.bin"), map);
}

TEST(Volskar, OneMebibyteIsCompressedQuickly) {
  TempDir dir;
  const Bytes map = map_words(512 * 1024, 13);
  dir.write("map.bin", map);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(volskar(dir, {"map.bin", "map.eni"}).status, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // A quadratic value analysis would take minutes; the sanitizer build is slower than release.
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(decoded_by_quirnol(dir, "map.eni"), map);
}

}  // namespace
