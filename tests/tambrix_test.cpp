#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/kozinski_stream.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string TAMBRIX = std::string(TOOLS_DIR) + "/TAMBRIX";

const std::string USAGE =
    "Decompresses an archive compressed using the Kozinski compression format.\n\nTAMBRIX infile outfile offset\ninfile:\t\tThe name of the file containing the archive.\noutfile:\tThe name of the file to create containing the extracted data.\noffset:\t\tThe location of the archive in the source file.\n\n";
const std::string PROGRESS = "Decompressing archive....\t";

// The worked example: ABABAB in eight bytes.
const Bytes EXAMPLE = {0x93, 0x00, 0x41, 0x42, 0xFE, 0xFF, 0xF8, 0x00};

Bytes rom_with(const Bytes& stream, std::size_t at = 0x100) {
  Bytes rom(at + stream.size(), 0xEE);
  std::copy(stream.begin(), stream.end(), rom.begin() + static_cast<long>(at));
  return rom;
}

ProgramRun tambrix(const TempDir& dir, const std::vector<std::string>& arguments) {
  return run_program(TAMBRIX, arguments, dir.path());
}

TEST(Tambrix, WrongArgumentCountPrintsOnlyTheUsage) {
  TempDir dir;
  dir.write("rom.bin", rom_with(EXAMPLE));
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {}, {"rom.bin", "out.bin"}, {"rom.bin", "out.bin", "100", "-p"}}) {
    const ProgramRun run = tambrix(dir, arguments);
    EXPECT_EQ(run.out, USAGE);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"rom.bin"});
  }
}

TEST(Tambrix, MissingInputPrintsOnlyItsText) {
  TempDir dir;
  const ProgramRun run = tambrix(dir, {"missing.bin", "out.bin", "0"});
  EXPECT_EQ(run.out, "\n\nInvalid rom filename!");
  EXPECT_EQ(run.status, 255);
  EXPECT_FALSE(dir.exists("out.bin"));
}

TEST(Tambrix, WorkedExampleReportsAndWritesABABAB) {
  const std::string report =
      PROGRESS +
      "Done!\n\n"
      "Archive in rom.bin successfully extracted to file out.bin.\n\n"
      "Compressed filesize:\t0x8\t\t8\n"
      "Uncompressed filesize:\t0x6\t\t6\n"
      "Location of archive:\t0x100 - 0x108\n"
      "Compression rate:\t-33.33%\n\n";
  for (const char* offset : {"100", "0x100", "1x100"}) {
    TempDir dir;
    dir.write("rom.bin", rom_with(EXAMPLE));
    const ProgramRun run = tambrix(dir, {"rom.bin", "out.bin", offset});
    EXPECT_EQ(run.out, report) << offset;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir.read("out.bin"), Bytes({'A', 'B', 'A', 'B', 'A', 'B'}));
  }
}

TEST(Tambrix, OffsetsFollowTheHexadecimalRule) {
  struct Case {
    const char* argument;
    std::size_t at;
  };
  for (const Case& c : {Case{"1F", 0x1F}, Case{"0x1f", 0x1F}, Case{"0X1F", 0x81F}, Case{"1G", 0x10},
                        Case{"x", 8}, Case{"", 0}}) {
    TempDir dir;
    dir.write("rom.bin", rom_with(EXAMPLE, c.at));
    const ProgramRun run = tambrix(dir, {"rom.bin", "out.bin", c.argument});
    EXPECT_EQ(run.status, 0) << c.argument << "\n" << run.out;
    EXPECT_EQ(dir.read("out.bin").size(), 6u) << c.argument;
  }
}

TEST(Tambrix, EmptyArchiveWritesAnEmptyFileAndNoRateFigure) {
  TempDir dir;
  dir.write("rom.bin", rom_with({0x02, 0x00, 0xFF, 0xF8, 0x00}));
  const ProgramRun run = tambrix(dir, {"rom.bin", "out.bin", "100"});
  EXPECT_EQ(run.out, PROGRESS +
                         "Done!\n\n"
                         "Archive in rom.bin successfully extracted to file out.bin.\n\n"
                         "Compressed filesize:\t0x5\t\t5\n"
                         "Uncompressed filesize:\t0x0\t\t0\n"
                         "Location of archive:\t0x100 - 0x105\n"
                         "Compression rate:\tn/a\n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(dir.exists("out.bin"));
  EXPECT_TRUE(dir.read("out.bin").empty());
}

TEST(Tambrix, DecodeErrorsPrintTheirTextAndLeaveAnExistingFileAsItWas) {
  struct Case {
    Bytes stream;
    std::string text;
  };
  const Case cases[] = {
      {KozinskiStreamBuilder().short_copy(2, 1).end().bytes(),
       "Invalid offset encounted in mode 00 tag at 0x103\n\n"},
      {KozinskiStreamBuilder().literal('a').long_copy(3, 2).end().bytes(),
       "Invalid offset encounted in mode 01 tag at 0x104\n\n"},
      // The stream is cut after its first literal's code: the literal byte is not in the file.
      {{0x01, 0x00}, "The archive runs outside the file: the byte at 0x102 is not in it.\n\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("rom.bin", rom_with(c.stream));
    dir.write("out.bin", {'o', 'l', 'd'});
    const ProgramRun run = tambrix(dir, {"rom.bin", "out.bin", "100"});
    EXPECT_EQ(run.out, PROGRESS + "Error!\n\n" + c.text);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(dir.read("out.bin"), Bytes({'o', 'l', 'd'}));
  }
}

TEST(Tambrix, OversizedOutputIsRefused) {
  KozinskiStreamBuilder stream;
  stream.literal(1);
  for (int i = 0; i < 4200; ++i) stream.long_copy_extended(256, 1);
  TempDir dir;
  dir.write("rom.bin", stream.end().bytes());
  const ProgramRun run = tambrix(dir, {"rom.bin", "out.bin", "0"});
  EXPECT_EQ(run.out.rfind(PROGRESS + "Error!\n\nThe archive decodes to more than 0x100000 bytes; stopped at 0x", 0), 0u)
      << run.out;
  EXPECT_EQ(run.status, 255);
  EXPECT_FALSE(dir.exists("out.bin"));
}

}  // namespace
