#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/nemesis_archive.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string GORVELT = std::string(TOOLS_DIR) + "/GORVELT";

const std::string USAGE =
    "Decompresses art tiles for the Genesis that have been compressed with Nemesis\ncompression.\n\nGORVELT infile outfile offset [<options>]\ninfile:\t\tThe file containing the archive.\noutfile:\tThe name of the file to create containing the decompressed data.offset:\t\tThe location of the archive in the source file.\n\n<options>\n-p\tAdd padding to file. Use this to get around the access violation error\n\tin TLP.\n-f\tForce the decompressor to attempt a decompression of an archive that\n\tappears to be invalid. Note that this could cause the program to crash\n\ton incorrect offsets. Provided in case it comes in handy. Only use this\n\tif you really know what you're doing.\n\n";
const std::string DICTIONARY = "Decompressing dictionary....\t";
const std::string DECODING = "Decompressing file....\t\t";

// One tile of zeros: eight 1-bit codes of runs of 8.
const Bytes EXAMPLE = {0x00, 0x01, 0x80, 0x71, 0x00, 0xFF, 0x00, 0x00, 0x00};
const std::string EXAMPLE_REPORT =
    DICTIONARY + "Done!\n" + DECODING +
    "Done!\n\n"
    "Archive in rom.bin successfully extracted to file art.bin.\n\n"
    "Compressed file size:\t\t0x9\t\t9\n"
    "Uncompressed file size:\t\t0x20\t\t32\n"
    "Blocks extracted:\t\t0x1\t\t1\n"
    "Location in file:\t\t0x0 - 0x9\n"
    "Compression rate:\t\t71.88%\n\n";

ProgramRun gorvelt(const TempDir& dir, const std::vector<std::string>& arguments) {
  return run_program(GORVELT, arguments, dir.path());
}

TEST(Gorvelt, TooFewArgumentsOrNoInput) {
  TempDir dir;
  ProgramRun run = gorvelt(dir, {"rom.bin", "art.bin"});
  EXPECT_EQ(run.out, USAGE);
  EXPECT_EQ(run.status, 255);
  run = gorvelt(dir, {"missing.bin", "art.bin", "0"});
  EXPECT_EQ(run.out, "\nInvalid rom filename!");
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(dir.names().empty());
}

TEST(Gorvelt, WorkedExampleWithAndWithoutPadding) {
  struct Case {
    std::vector<std::string> options;
    std::size_t padding;
  };
  for (const Case& c : {Case{{}, 0}, Case{{"-p"}, 8192}, Case{{"-P", "-F"}, 0}, Case{{"-x", "-p", "-p"}, 8192}}) {
    TempDir dir;
    dir.write("rom.bin", EXAMPLE);
    std::vector<std::string> arguments = {"rom.bin", "art.bin", "0"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramRun run = gorvelt(dir, arguments);
    EXPECT_EQ(run.out, EXAMPLE_REPORT);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir.read("art.bin"), Bytes(c.padding + 32, 0));
  }
}

TEST(Gorvelt, TileCountZeroWritesOnlyThePadding) {
  for (bool padding : {false, true}) {
    TempDir dir;
    dir.write("rom.bin", {0x00, 0x00, 0x80, 0x71, 0x00, 0xFF, 0x00, 0x00});
    std::vector<std::string> arguments = {"rom.bin", "art.bin", "0"};
    if (padding) arguments.push_back("-p");
    const ProgramRun run = gorvelt(dir, arguments);
    EXPECT_EQ(run.out, DICTIONARY + "Done!\n" + DECODING +
                           "Done!\n\n"
                           "Archive in rom.bin successfully extracted to file art.bin.\n\n"
                           "Compressed file size:\t\t0x8\t\t8\n"
                           "Uncompressed file size:\t\t0x0\t\t0\n"
                           "Blocks extracted:\t\t0x0\t\t0\n"
                           "Location in file:\t\t0x0 - 0x8\n"
                           "Compression rate:\t\tn/a\n\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir.read("art.bin").size(), padding ? 8192u : 0u);
  }
}

TEST(Gorvelt, EveryFaultPrintsItsMessageAndLeavesNoFile) {
  struct Case {
    Bytes archive;
    std::string out;
  };
  const Case cases[] = {
      {{0x00, 0x01, 0x71, 0x00, 0xFF}, DICTIONARY + "Error!\n\nError code 0xFFFFFFFF\nAn attempt to write an entry was made before the writevalue was initialised\n\n"},
      {{0x00, 0x01, 0x80, 0xFF, 0x00, 0xFF}, DICTIONARY + "Error!\n\nError code 0xFFFFFFFE\nAn invalid writecount was encountered\n\n"},
      {{0x00, 0x01, 0x80, 0x70, 0x00, 0xFF}, DICTIONARY + "Error!\n\nError code 0xFFFFFFFD\nPacket size of 0 encountered\n\n"},
      {{0x00, 0x01, 0x80, 0x79, 0x00, 0xFF}, DICTIONARY + "Error!\n\nError code 0xFFFFFFFC\nPacket size greater than 8 encountered\n\n"},
      {{0x00, 0x01, 0x80, 0x72, 0x04, 0xFF}, DICTIONARY + "Error!\n\nError code 0xFFFFFFFB\nSignificant bits of the buffer offset were discarded\n\n"},
      {{0x00, 0x01, 0x80, 0x71, 0x00, 0x72, 0x01, 0xFF}, DICTIONARY + "Error!\n\nError code 0xFFFFFFFA\nA single location in the dictionary was referanced more than once\n\n"},
      {{0x00, 0x01, 0x80, 0x71, 0x00, 0xFF, 0x80, 0x00, 0x00}, DICTIONARY + "Done!\n" + DECODING + "Error!\n\nError code 0xFFFFFFFF\nA referance was made to an uninitialised dictionary entry\n\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Bytes rom = c.archive;
    rom.resize(rom.size() + 16, 0x00);
    dir.write("rom.bin", rom);
    const ProgramRun run = gorvelt(dir, {"rom.bin", "art.bin", "0"});
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.status, 255);
    EXPECT_FALSE(dir.exists("art.bin"));
  }
}

TEST(Gorvelt, ForceRelaxesAllButTheDoubleClaim) {
  TempDir dir;
  // No marker before the first entry: with -f its write value is 15, a tile of 0xFF.
  dir.write("rom.bin", {0x00, 0x01, 0x71, 0x00, 0xFF, 0x00, 0x00, 0x00});
  ProgramRun run = gorvelt(dir, {"rom.bin", "art.bin", "0", "-f"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(dir.read("art.bin"), Bytes(32, 0xFF));

  // An empty entry met under -f reads as sixteen 15s per 15-bit code.
  dir.write("rom.bin", {0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  run = gorvelt(dir, {"rom.bin", "art.bin", "0", "-f"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(dir.read("art.bin"), Bytes(32, 0xFF));

  dir.write("rom.bin", {0x00, 0x01, 0x80, 0x71, 0x00, 0x72, 0x01, 0xFF, 0, 0, 0});
  run = gorvelt(dir, {"rom.bin", "art2.bin", "0", "-f"});
  EXPECT_EQ(run.status, 255);
  EXPECT_FALSE(dir.exists("art2.bin"));
}

TEST(Gorvelt, ArchivesOutsideTheFileFailOnTheOpenProgressLine) {
  Bytes tiles(32 * 4);
  for (std::size_t i = 0; i < tiles.size(); ++i) tiles[i] = static_cast<std::uint8_t>(i * 7 / 3);
  const Bytes archive = compress_nemesis(tiles, false);
  const std::string outside = "Error!\n\nThe archive runs outside the file: the byte at 0x";
  struct Case {
    Bytes rom;
    std::string offset;
    std::string out;  // its start: the decoder's position is checked in memory
  };
  const Case cases[] = {
      {archive, "FFFFFFFF", DICTIONARY + outside + "FFFFFFFF is not in it.\n\n"},
      {archive, hex(archive.size() - 1), DICTIONARY + outside + hex(archive.size()) + " is not in it.\n\n"},
      {Bytes(archive.begin(), archive.begin() + 5), "0", DICTIONARY + outside + "5 is not in it.\n\n"},
      {Bytes(archive.begin(), archive.end() - 6), "0", DICTIONARY + "Done!\n" + DECODING + outside},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("rom.bin", c.rom);
    const ProgramRun run = gorvelt(dir, {"rom.bin", "art.bin", c.offset});
    EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(run.status, 255);
    EXPECT_FALSE(dir.exists("art.bin"));
  }
  // The complete archive ending at the file's last byte decodes.
  TempDir dir;
  dir.write("rom.bin", archive);
  const ProgramRun run = gorvelt(dir, {"rom.bin", "art.bin", "0"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(dir.read("art.bin"), tiles);
}

}  // namespace
