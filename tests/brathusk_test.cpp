#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/nemesis_archive.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string BRATHUSK = std::string(TOOLS_DIR) + "/BRATHUSK";

const std::string USAGE =
    "Searches the specified file for all potential archives compressed with the\nNemesis compression algorithm.\n\nBRATHUSK infile [<options>]\ninfile:\tThe name of the file to search through.\n\n<options>\n-n\tDon't perform the test to see if the Nemesis compression algorithm\n\tappears to be used in the specified file. Use this option if the file\n\tyou are scanning is not a complete rom.\n-p\tAdd padding to files. Use this to get around the access violation error\n\tin TLP.\n\n";
const std::string QUESTION = "\nThe art compression format does not appear to be used in this rom. Continue?\n\n";
const std::string SCANNED = "Scanning for archives....\t\tDone!\n";
const std::string EXTRACTED = "Extracting archives....\t\t\tDone!\n";

const Bytes SIGNATURE = {0x02, 0x47, 0x00, 0x0F, 0x02, 0x41, 0x00, 0x70, 0x8E, 0x41, 0x02, 0x40, 0x00, 0x0F, 0x12, 0x00};

Bytes tiles_of(unsigned seed, int tiles) {
  Bytes data(static_cast<std::size_t>(tiles) * 32);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(((i / 4 + seed) % 4) * 0x11);
  return data;
}

// An image with archives at 0x400 (2 tiles) and 0xABC0 (3 tiles, XOR mode), and the signature
// unless asked not to.
Bytes game_image(bool with_signature = true) {
  Bytes image(0xB000, 0x00);
  if (with_signature) std::copy(SIGNATURE.begin(), SIGNATURE.end(), image.begin() + 0x200);
  const Bytes first = compress_nemesis(tiles_of(1, 2), false);
  const Bytes second = compress_nemesis(tiles_of(2, 3), true);
  std::copy(first.begin(), first.end(), image.begin() + 0x400);
  std::copy(second.begin(), second.end(), image.begin() + 0xABC0);
  return image;
}

ProgramRun brathusk(const TempDir& dir, const std::vector<std::string>& arguments,
                    const std::optional<std::string>& input = std::nullopt) {
  return run_program(BRATHUSK, arguments, dir.path(), input);
}

TEST(Brathusk, NoArgumentOrNoInput) {
  TempDir dir;
  ProgramRun run = brathusk(dir, {});
  EXPECT_EQ(run.out, USAGE);
  EXPECT_EQ(run.status, 255);
  run = brathusk(dir, {"missing.bin"});
  EXPECT_EQ(run.out, "\n\nInvalid rom filename!");
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(dir.names().empty());
}

TEST(Brathusk, ExtractsEveryArchiveIntoAFolderNamedAfterTheImage) {
  for (bool padding : {false, true}) {
    TempDir dir;
    dir.write("game.bin", game_image());
    std::vector<std::string> arguments = {"game.bin"};
    if (padding) arguments.push_back("-p");
    const ProgramRun run = brathusk(dir, arguments);
    EXPECT_EQ(run.out, SCANNED + EXTRACTED + "\n2 archives successfully extracted from game.bin\n\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "game"));
    const std::size_t pad = padding ? 8192 : 0;
    Bytes first(pad, 0), second(pad, 0);
    const Bytes a = tiles_of(1, 2), b = tiles_of(2, 3);
    first.insert(first.end(), a.begin(), a.end());
    second.insert(second.end(), b.begin(), b.end());
    EXPECT_EQ(dir.read("game/00000400.smd"), first);
    EXPECT_EQ(dir.read("game/0000ABC0.smd"), second);
  }
}

TEST(Brathusk, AsksWhenTheSignatureIsMissing) {
  struct Case {
    std::optional<std::string> input;
    bool goes_on;
  };
  const Case cases[] = {{"y\n", true},   {"Y", true},     {"n\n", false}, {"N\n", false},
                        {" \n\t y", true}, {"  n", false}, {"x", true},     {std::nullopt, false},
                        {"", false}};
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("game.bin", game_image(false));
    const ProgramRun run = brathusk(dir, {"game.bin"}, c.input);
    const std::string rest = SCANNED + EXTRACTED + "\n2 archives successfully extracted from game.bin\n\n";
    EXPECT_EQ(run.out, QUESTION + (c.goes_on ? rest : "")) << (c.input ? *c.input : "(none)");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir.exists("game"), c.goes_on);
  }
  // -n skips the test, and so the question; an image under 16 bytes always gets it.
  TempDir dir;
  dir.write("game.bin", game_image(false));
  EXPECT_EQ(brathusk(dir, {"game.bin", "-n"}).out.rfind(SCANNED, 0), 0u);
  dir.write("tiny.bin", Bytes(SIGNATURE.begin(), SIGNATURE.begin() + 15));
  EXPECT_EQ(brathusk(dir, {"tiny.bin"}).out, QUESTION);
  dir.write("sig.bin", SIGNATURE);
  EXPECT_EQ(brathusk(dir, {"sig.bin"}).out, SCANNED + "\nNo archives located in sig.bin\n\n");
}

TEST(Brathusk, NothingFoundCreatesNoFolder) {
  TempDir dir;
  dir.write("empty.bin", {});
  const ProgramRun run = brathusk(dir, {"empty.bin", "-n"});
  EXPECT_EQ(run.out, SCANNED + "\nNo archives located in empty.bin\n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"empty.bin"});
}

TEST(Brathusk, FolderNamesComeFromTheImageName) {
  struct Case {
    std::string input;
    std::string folder;
  };
  const std::string long_name(70, 'g');
  const Case cases[] = {{"game.bin", "game"}, {"game.old.bin", "game"}, {long_name, long_name.substr(0, 64)}};
  for (const Case& c : cases) {
    TempDir dir;
    dir.write(c.input, game_image());
    const ProgramRun run = brathusk(dir, {c.input});
    EXPECT_EQ(run.status, 0) << c.input;
    EXPECT_TRUE(dir.exists(c.folder + "/00000400.smd")) << c.input;
    EXPECT_TRUE(dir.exists(c.folder + "/0000ABC0.smd")) << c.input;
  }
  {
    // A name without a '.' names the folder after the whole name: the image itself stands there.
    TempDir dir;
    dir.write("game", game_image());
    const ProgramRun run = brathusk(dir, {"game"});
    EXPECT_NE(run.out.find("Could not create the folder ./game/.\n\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.status, 255);
  }
  // A name that begins with '.' gives an empty folder name: the files land in the current folder.
  TempDir dir;
  dir.write(".game", game_image());
  EXPECT_EQ(brathusk(dir, {".game"}).status, 0);
  EXPECT_TRUE(dir.exists("00000400.smd"));
}

TEST(Brathusk, FolderThatCannotBeMadeIsReportedAndNothingCounted) {
  TempDir dir;
  dir.write("game.bin", game_image());
  dir.write("game", {});  // a file where the folder should go
  const ProgramRun run = brathusk(dir, {"game.bin"});
  EXPECT_EQ(run.out, SCANNED + "Extracting archives....\t\t\tError!\n\nCould not create the folder ./game/.\n\n"
                               "\n0 archives successfully extracted from game.bin\n\n");
  EXPECT_EQ(run.status, 255);
}

TEST(Brathusk, FilesThatCannotBeWrittenAreNamedAndNotCounted) {
  TempDir dir;
  dir.write("game.bin", game_image());
  std::filesystem::create_directories(dir / "game" / "00000400.smd");  // a folder in a file's place
  const ProgramRun run = brathusk(dir, {"game.bin"});
  EXPECT_EQ(run.out, SCANNED + "Extracting archives....\t\t\tError!\n\nCould not write the output file ./game/00000400.smd.\n\n"
                               "\n1 archives successfully extracted from game.bin\n\n");
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(dir.exists("game/0000ABC0.smd"));
}

}  // namespace
