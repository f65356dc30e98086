// Every program against damaged input and failing output, run as processes: whatever the bytes,
// a run ends with status 0 or -1, writes nothing to standard error, and leaves no output file when
// it fails; a file that can't be written is reported and never reported as written.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/crackers_module.h"
#include "support/enigma_stream.h"
#include "support/kozinski_stream.h"
#include "support/nemesis_archive.h"
#include "support/run_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Arguments = std::vector<std::string>;

Bytes pattern(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i / 5 % 3) * 0x11 + (i / 40 % 2));
  return bytes;
}

struct Program {
  std::string name;    // the executable
  std::string label;   // the test's name
  Bytes valid;                                                // a good input file
  std::function<Arguments(const std::string& offset)> arguments;  // infile is rom.bin
  std::vector<std::string> outputs;                           // what a successful run leaves
  std::vector<Bytes> huge;                                    // headers with huge counts
};

std::vector<Program> programs() {
  std::vector<Program> all;
  all.push_back({"TAMBRIX", "TAMBRIX", compress_kozinski(pattern(400)),
                 [](const std::string& offset) { return Arguments{"rom.bin", "out.bin", offset}; },
                 {"out.bin"},
                 {Bytes(64, 0x00), Bytes(64, 0xFF)}});

  EnigmaStreamWriter enigma(EnigmaHeader{6, 0x11, 0x0010, 0x0000});
  enigma.incrementing(5).common(9).list({0x8001, 0x0802, 0x0003}).ascending(4, 0x0020).descending(6, 0x0830).end();
  all.push_back({"QUIRNOL", "QUIRNOL", enigma.bytes(),
                 [](const std::string& offset) { return Arguments{"rom.bin", "out.bin", offset}; },
                 {"out.bin"},
                 {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00}, {0x00, 0x00, 0, 0, 0, 0, 0x3C, 0xF3, 0xCF}}});

  all.push_back({"VOLSKAR", "VOLSKAR", pattern(300),
                 [](const std::string&) { return Arguments{"rom.bin", "out.bin"}; },
                 {"out.bin"},
                 {}});

  all.push_back({"GORVELT", "GORVELT", compress_nemesis(pattern(32 * 6), true),
                 [](const std::string& offset) { return Arguments{"rom.bin", "out.bin", offset}; },
                 {"out.bin"},
                 {{0x7F, 0xFF, 0x80, 0x71, 0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x8F, 0x78, 0x00, 0xFF}}});

  all.push_back({"GORVELT", "GORVELT_force", compress_nemesis(pattern(32 * 6), true),
                 [](const std::string& offset) { return Arguments{"rom.bin", "out.bin", offset, "-f"}; },
                 {"out.bin"},
                 {{0x7F, 0xFF, 0x80, 0x71, 0x00, 0xFF, 0x00}, {0x7F, 0xFF, 0xFF}}});

  Bytes image(64, 0x00);
  const Bytes archive = compress_nemesis(pattern(32 * 3), false);
  image.insert(image.end(), archive.begin(), archive.end());
  all.push_back({"BRATHUSK", "BRATHUSK", image,
                 [](const std::string&) { return Arguments{"rom.bin", "-n"}; },
                 {"rom"},
                 {{0x07, 0xFF, 0x80, 0x71, 0x00, 0xFF, 0x00, 0x00}}});

  CrackersModuleBuilder module(0x0020, 1);
  for (std::uint8_t b : pattern(20)) module.literal(b);
  module.reference(3, 9).reference(1, 2).literal(7);
  all.push_back({"PILMARO", "PILMARO", module.bytes(),
                 [](const std::string& offset) { return Arguments{"rom.bin", "out.bin", offset, "-m"}; },
                 {"out.bin"},
                 {{0x00, 0x20, 0x00, 0x00, 0x3F, 0xFF, 0x00, 0x41}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}});
  return all;
}

// Runs `program` on `rom` and checks what every run must satisfy.
void run_damaged(const Program& program, const Bytes& rom, const std::string& offset, const std::string& what) {
  TempDir dir;
  dir.write("rom.bin", rom);
  const ProgramRun run = run_program(std::string(TOOLS_DIR) + "/" + program.name, program.arguments(offset), dir.path());
  ASSERT_FALSE(run.signalled) << program.name << " " << what << "\n" << run.out;
  EXPECT_TRUE(run.status == 0 || run.status == 255) << program.name << " " << what << ": " << run.status;
  EXPECT_EQ(run.err, "") << program.name << " " << what;
  for (const std::string& output : program.outputs) {
    if (run.status != 0) {
      EXPECT_FALSE(dir.exists(output)) << program.name << " " << what << "\n" << run.out;
    }
  }
}

class DamagedInput : public ::testing::TestWithParam<std::size_t> {};

TEST_P(DamagedInput, EndsCleanly) {
  std::mt19937 random(77);
  const Program program = programs()[GetParam()];
  const Bytes& valid = program.valid;
  // The good input decodes.
  {
    TempDir dir;
    dir.write("rom.bin", valid);
    const ProgramRun run = run_program(std::string(TOOLS_DIR) + "/" + program.name, program.arguments("0"), dir.path());
    ASSERT_EQ(run.status, 0) << program.name << "\n" << run.out;
    for (const std::string& output : program.outputs) EXPECT_TRUE(dir.exists(output)) << program.name;
  }
  // Truncations at every length.
  for (std::size_t cut = 0; cut < valid.size(); ++cut) {
    run_damaged(program, Bytes(valid.begin(), valid.begin() + static_cast<long>(cut)), "0", "cut at " + std::to_string(cut));
  }
  // Single-bit flips at many positions.
  for (std::size_t bit = 0; bit < valid.size() * 8; bit += 1 + random() % 9) {
    Bytes flipped = valid;
    flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    run_damaged(program, flipped, "0", "bit " + std::to_string(bit));
  }
  // Offsets past the end and negative.
  for (const std::string& offset : {hex(valid.size()), hex(valid.size() + 1), hex(valid.size() + 4096), std::string("FFFFFFFF"),
                                   std::string("80000000"), std::string("7FFFFFFF")}) {
    run_damaged(program, valid, offset, "offset " + offset);
  }
  // Headers with huge counts, alone and followed by noise.
  for (const Bytes& header : program.huge) {
    run_damaged(program, header, "0", "huge header");
    Bytes noisy = header;
    for (int i = 0; i < 2000; ++i) noisy.push_back(static_cast<std::uint8_t>(random()));
    run_damaged(program, noisy, "0", "huge header with noise");
  }
  // Random bytes and an empty file.
  run_damaged(program, {}, "0", "empty file");
  for (int i = 0; i < 10; ++i) {
    Bytes noise(1 + random() % 3000);
    for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random());
    run_damaged(program, noise, "0", "noise " + std::to_string(i));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, DamagedInput, ::testing::Range<std::size_t>(0, programs().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) { return programs()[info.param].label; });

TEST(OutputFailure, ReportedWithoutSuccessAndNothingHalfWritten) {
  struct Case {
    std::string program;
    Bytes rom;
    Arguments arguments;  // OUT stands for the output name
    std::string out;      // what is printed, with OUT for the output name
  };
  const Bytes kozinski = {0x93, 0x00, 0x41, 0x42, 0xFE, 0xFF, 0xF8, 0x00};
  const Bytes nemesis = {0x00, 0x01, 0x80, 0x71, 0x00, 0xFF, 0x00, 0x00, 0x00};
  const Bytes enigma = EnigmaStreamWriter(EnigmaHeader{4, 0, 1, 0}).incrementing(10).end().bytes();
  const Bytes crackers = CrackersModuleBuilder(0x20, 0).literal(1).reference(1, 17).bytes();
  const std::string failure = "Could not write the output file OUT.\n\n";
  const Case cases[] = {
      {"TAMBRIX", kozinski, {"rom.bin", "OUT", "0"}, "Decompressing archive....\tError!\n\n" + failure},
      {"QUIRNOL", enigma, {"rom.bin", "OUT", "0"}, "Decompressing file....\tError!\n\n" + failure},
      {"QUIRNOL", enigma, {"rom.bin", "OUT", "0", "-p"}, "Decompressing file....\tError!\n\n" + failure},
      {"VOLSKAR", {0x00, 0x01}, {"rom.bin", "OUT"},
       "Calculating common and increment values......\tDone!\nCompressing file......\t\t\t\tError!\n\n" + failure},
      {"GORVELT", nemesis, {"rom.bin", "OUT", "0", "-p"},
       "Decompressing dictionary....\tDone!\nDecompressing file....\t\tDone!\n\n" + failure},
      {"PILMARO", crackers, {"rom.bin", "OUT", "0", "-m", "-p"}, "Decompressing module 1....\tError!\n\n" + failure},
  };
  for (const Case& c : cases) {
    for (const std::string& output : std::vector<std::string>{"/dev/full", "no-such-folder/out.bin", "plain/out.bin"}) {
      TempDir dir;
      dir.write("rom.bin", c.rom);
      dir.write("plain", {});
      Arguments arguments = c.arguments;
      for (std::string& argument : arguments) {
        if (argument == "OUT") argument = output;
      }
      std::string expected = c.out;
      expected.replace(expected.find("OUT"), 3, output);
      const ProgramRun run = run_program(std::string(TOOLS_DIR) + "/" + c.program, arguments, dir.path());
      EXPECT_EQ(run.out, expected) << c.program << " " << output;
      EXPECT_EQ(run.status, 255) << c.program << " " << output;
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(dir.names(), (std::vector<std::string>{"plain", "rom.bin"})) << c.program << " " << output;
    }
  }
  // In archive mode PILMARO names the file after the module: the digits go into a folder that
  // does not exist.
  TempDir dir;
  dir.write("rom.bin", crackers_archive({crackers}));
  const ProgramRun run = run_program(std::string(TOOLS_DIR) + "/PILMARO", {"rom.bin", "missing/out.bin", "0"}, dir.path());
  EXPECT_EQ(run.out, "Beginning decompression of 1 module.\n\nDecompressing module 1....\tError!\n\n"
                     "Could not write the output file missing/out - 0x0020.bin.\n\n");
  EXPECT_EQ(run.status, 255);
}

}  // namespace
