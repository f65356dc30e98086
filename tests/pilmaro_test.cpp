#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/crackers_module.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string PILMARO = std::string(TOOLS_DIR) + "/PILMARO";

const std::string USAGE =
    std::string("Decompresses an archive compressed using the Sonic Crackers art compression\nformat.\n\n") +
    "PILMARO infile outfile offset [<options>]\n" + "infile:\t\tThe name of the file containing the archive.\n" +
    "outfile:\tThe name of the file to create containing the extracted data.\n" +
    "offset:\t\tThe location of the archive in the source file.\n\n" +
    "<options>\n-p\tAdd padding to file. Use this to get around the access violation error\n\tin TLP. This also adds some filler at the end if needed, to complete the\tlast block which is sometimes left only half-written with this format.\n-m\tDecompress a single module. This will skip reading in the block header\n\tand just attempt to decompress a single module.\n\n";

// The worked example: 24 bytes from 15.
const Bytes EXAMPLE = {0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x20, 0x41, 0x42, 0x1F, 0x01, 0x02, 0x03, 0x04, 0x05};

Bytes example_output() {
  Bytes bytes = {0x41, 0x42};
  for (int i = 0; i < 17; ++i) bytes.push_back(i % 2 == 0 ? 0x41 : 0x42);
  bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
  return bytes;
}

const std::string MODULE_REPORT =
    "Compressed filesize:\t\t0xF\t\t15\n"
    "Uncompressed filesize:\t\t0x18\t\t24\n"
    "Load location in VRAM:\t\t0x20\t\t32\n"
    "Location of module:\t\t0x102 - 0x111\n"
    "Compression rate:\t\t37.50%\n\n";

Bytes rom_with(const Bytes& bytes, std::size_t at = 0x100) {
  Bytes rom(at + bytes.size(), 0xEE);
  std::copy(bytes.begin(), bytes.end(), rom.begin() + static_cast<long>(at));
  return rom;
}

Bytes padded_to_block(Bytes data, std::size_t padding = 0) {
  data.resize((data.size() + 31) / 32 * 32, 0);
  data.insert(data.begin(), padding, 0);
  return data;
}

ProgramRun pilmaro(const TempDir& dir, const std::vector<std::string>& arguments) {
  return run_program(PILMARO, arguments, dir.path());
}

TEST(Pilmaro, TooFewArgumentsOrNoInput) {
  TempDir dir;
  ProgramRun run = pilmaro(dir, {"rom.bin", "art.bin"});
  EXPECT_EQ(run.out, USAGE);
  EXPECT_EQ(run.status, 255);
  run = pilmaro(dir, {"missing.bin", "art.bin", "0"});
  EXPECT_EQ(run.out, "\n\nInvalid rom filename!\n\n");
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(dir.names().empty());
}

TEST(Pilmaro, OneModuleArchiveReportsSummaryAndFillsTheLastBlock) {
  const std::string report = "Beginning decompression of 1 module.\n\nDecompressing module 1....\tDone!\n" + MODULE_REPORT +
                             "\n1 module successfully extracted\n"
                             "Total compressed filesize:\t0x11\t\t17\n"
                             "Total uncompressed filesize:\t0x18\t\t24\n"
                             "Location of archive:\t\t0x100 - 0x111\n"
                             "Total compression rate:\t\t29.17%\n\n";
  for (const auto& [options, padding] : std::vector<std::pair<std::vector<std::string>, std::size_t>>{
           {{}, 0}, {{"-p"}, 8192}, {{"-P", "-M"}, 0}}) {
    TempDir dir;
    dir.write("rom.bin", rom_with(crackers_archive({EXAMPLE})));
    std::vector<std::string> arguments = {"rom.bin", "art.bin", "100"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ProgramRun run = pilmaro(dir, arguments);
    EXPECT_EQ(run.out, report);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"art - 0x0020.bin", "rom.bin"}));
    const Bytes file = dir.read("art - 0x0020.bin");
    EXPECT_EQ(file.size(), padding + 32);
    EXPECT_EQ(file, padded_to_block(example_output(), padding));
  }
}

TEST(Pilmaro, SingleModuleWithAndWithoutPadding) {
  for (bool padding : {false, true}) {
    TempDir dir;
    dir.write("rom.bin", rom_with(EXAMPLE, 0x102));
    std::vector<std::string> arguments = {"rom.bin", "art.bin", "102", "-m"};
    if (padding) arguments.push_back("-p");
    const ProgramRun run = pilmaro(dir, arguments);
    EXPECT_EQ(run.out, "Decompressing module 1....\tDone!\n" + MODULE_REPORT);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir.read("art.bin"), padded_to_block(example_output(), padding ? 8192 : 0));
  }
}

TEST(Pilmaro, FillerCompletesTheLastBlockOnly) {
  // 64 bytes: no filler; 8 bytes: 24 zero bytes of it.
  CrackersModuleBuilder sixty_four(0x0100, 0);
  sixty_four.literal(7);
  for (int i = 0; i < 3; ++i) sixty_four.reference(1, 17);
  sixty_four.literal(8).literal(9).literal(10).literal(11);  // 1 + 51 + 4 = 56, then 4 zero literals
  const Bytes eight = CrackersModuleBuilder(0x0200, 0).literal(1).literal(2).bytes();
  TempDir dir;
  dir.write("rom.bin", crackers_archive({sixty_four.bytes(), eight}));
  const ProgramRun run = pilmaro(dir, {"rom.bin", "tiles", "0"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.rfind("Beginning decompression of 2 modules.\n\n", 0), 0u);
  EXPECT_NE(run.out.find("\n2 modules successfully extracted\n"), std::string::npos);
  EXPECT_EQ(dir.read("tiles - 0x0100").size(), 64u);
  Bytes small = {1, 2, 0, 0, 0, 0, 0, 0};
  small.resize(32, 0);
  EXPECT_EQ(dir.read("tiles - 0x0200"), small);
}

TEST(Pilmaro, ModulesSharingALoadLocationShareAFile) {
  const Bytes first = CrackersModuleBuilder(0x0040, 0).literal('a').bytes();
  const Bytes second = CrackersModuleBuilder(0x0040, 0).literal('b').bytes();
  TempDir dir;
  dir.write("rom.bin", crackers_archive({first, second}));
  const ProgramRun run = pilmaro(dir, {"rom.bin", "art.bin", "0"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\n2 modules successfully extracted\nTotal compressed filesize:\t0x20\t\t32\nTotal uncompressed filesize:\t0x10\t\t16\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"art - 0x0040.bin", "rom.bin"}));
  EXPECT_EQ(dir.read("art - 0x0040.bin")[0], 'b');
}

TEST(Pilmaro, InvalidOffsetInModuleThreeKeepsTheFirstTwo) {
  std::vector<Bytes> modules;
  for (std::uint16_t i = 1; i <= 5; ++i) {
    CrackersModuleBuilder module(static_cast<std::uint16_t>(i * 0x100), 0);
    if (i == 3) module.literal(1).reference(2, 2);  // reaches before the first byte
    modules.push_back(module.literal(static_cast<std::uint8_t>(i)).bytes());
  }
  TempDir dir;
  dir.write("rom.bin", crackers_archive(modules));
  const ProgramRun run = pilmaro(dir, {"rom.bin", "art.bin", "0"});
  // Module 3 starts at 2 + 15 + 15 = 32; its reference byte is its 9th byte, so one past it is 41.
  const std::string tail = "Decompressing module 3....\tError!\n\nInvalid offset encounted at 0x29\n\n";
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
  EXPECT_EQ(run.out.find("successfully extracted"), std::string::npos);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"art - 0x0100.bin", "art - 0x0200.bin", "rom.bin"}));
}

TEST(Pilmaro, ArchivesAndModulesOutsideTheFileFail) {
  const Bytes module = CrackersModuleBuilder(0x0040, 0).literal('a').bytes();
  Bytes archive = crackers_archive({module, module, module});
  archive.resize(archive.size() - 20);  // module 2 loses its last 5 bytes, module 3 all
  struct Case {
    Bytes rom;
    std::vector<std::string> arguments;
    std::string out;
  };
  const Case cases[] = {
      {archive, {"FFFFFFFF"}, "Error!\n\nThe archive runs outside the file: the byte at 0xFFFFFFFF is not in it.\n\n"},
      {archive, {"FFFFFFFF", "-m"}, "Decompressing module 1....\tError!\n\nModule 1 at 0xFFFFFFFF runs outside the file: the byte at 0xFFFFFFFF is not in it.\n\n"},
      {{0x00}, {"0"}, "Error!\n\nThe archive runs outside the file: the byte at 0x1 is not in it.\n\n"},
      {archive, {"0"}, "Beginning decompression of 3 modules.\n\nDecompressing module 1....\tDone!\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("rom.bin", c.rom);
    std::vector<std::string> arguments = {"rom.bin", "art.bin"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramRun run = pilmaro(dir, arguments);
    EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(run.status, 255);
  }
  TempDir dir;
  dir.write("rom.bin", archive);
  const ProgramRun run = pilmaro(dir, {"rom.bin", "art.bin", "0"});
  const std::string tail = "Decompressing module 2....\tError!\n\nModule 2 at 0x11 runs outside the file: the byte at 0x" +
                           hex(archive.size()) + " is not in it.\n\n";
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"art - 0x0040.bin", "rom.bin"}));
}

TEST(Pilmaro, UnwritableOutputNamesTheFile) {
  TempDir dir;
  dir.write("rom.bin", rom_with(crackers_archive({EXAMPLE})));
  // The first '.' is in the folder's name, so the digits go there: a folder that does not exist.
  std::filesystem::create_directory(dir / "out.d");
  const ProgramRun run = pilmaro(dir, {"rom.bin", "out.d/art.bin", "100"});
  EXPECT_EQ(run.out, "Beginning decompression of 1 module.\n\nDecompressing module 1....\tError!\n\n"
                     "Could not write the output file out - 0x0020.d/a.\n\n");
  EXPECT_EQ(run.status, 255);
}

}  // namespace
