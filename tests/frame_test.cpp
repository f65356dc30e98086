#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "frame/frame.h"
#include "support/run_program.h"

namespace {

TEST(OffsetArgument, FollowsTheHexadecimalRuleWithoutValidating) {
  struct Case {
    const char* argument;
    std::int32_t value;
  };
  const Case cases[] = {
      {"1F", 31},
      {"1f", 31},
      {"0x1F", 31},
      {"0x1f", 31},
      {"1x1F", 31},                              // the first character is not looked at
      {"0X1F", 0x81F},                           // upper-case X is no prefix; X gives 8
      {"", 0},
      {"x", 8},                                  // one character has no prefix
      {"1G", 16},                                // G gives 16, landing on the 1's bit
      {"123456789", 0x23456789},                 // the ninth digit pushes the first out
      {"-1", 0xD1},                              // the hyphen gives 13
      {"100", 0x100},
      {"0x", 0},
      {"FFFFFFFF", -1},
      {"7fffffff", 0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_offset_argument(c.argument), c.value) << '"' << c.argument << '"';
  }
}

TEST(CompressionRate, IsTheShareSavedInPercent) {
  EXPECT_DOUBLE_EQ(compression_rate(50, 200), 75.0);
  EXPECT_DOUBLE_EQ(compression_rate(200, 200), 0.0);
  EXPECT_DOUBLE_EQ(compression_rate(300, 200), -50.0);
}

TEST(ReportLines, PrintValuesInBothBasesAndTheRateWithTwoDecimals) {
  // Forked so the test's own standard output stays untouched.
  TempDir dir;
  const std::string expected =
      "Size:\t0x1F4\t\t500\n"
      "Size:\t0xFFFFFFFF\t\t-1\n"
      "Total:\t0x12A05F200\t\t5000000000\n"
      "At:\t0x100 - 0x108\n"
      "Rate:\t-33.33%\n\n"
      "Rate:\t75.00%\n\n"
      "Rate:\tn/a\n\n";
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen((dir / "out.txt").c_str(), "w", stdout) == nullptr) _exit(1);
    print_size_line("Size:\t0x%X\t\t%i\n", 500);
    print_size_line("Size:\t0x%X\t\t%i\n", -1);
    print_size_line("Total:\t0x%X\t\t%i\n", std::int64_t{5000000000});
    print_location_line("At:\t0x%X - 0x%X\n", 0x100, 0x108);
    print_rate_line("Rate:\t%.2f%%\n\n", 8, 6);
    print_rate_line("Rate:\t%.2f%%\n\n", 50, 200);
    print_rate_line("Rate:\t%.2f%%\n\n", 5, 0);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const std::vector<std::uint8_t> bytes = dir.read("out.txt");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
}

TEST(InputImage, LoadsTheWholeFileOrFails) {
  TempDir dir;
  dir.write("rom.bin", {1, 2, 3});
  dir.write("empty.bin", {});
  const std::optional<InputImage> image = load_input_image((dir / "rom.bin").c_str());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->length, 3);
  EXPECT_EQ(image->data, (std::vector<std::uint8_t>{1, 2, 3}));
  const std::optional<InputImage> empty = load_input_image((dir / "empty.bin").c_str());
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->length, 0);
  EXPECT_FALSE(load_input_image((dir / "missing.bin").c_str()));
  EXPECT_FALSE(load_input_image(dir.path().c_str()));  // a directory is no input file
}

TEST(InputReader, ReadsZeroOutsideAndRemembersTheFirstConsumedPositionThere) {
  const std::uint8_t bytes[] = {7, 8};
  InputReader reader(bytes, 1);
  EXPECT_EQ(reader.look(-1), 0);
  EXPECT_EQ(reader.look(5), 0);  // look-ahead never counts
  EXPECT_FALSE(reader.ran_outside());
  EXPECT_EQ(reader.take(), 8);
  EXPECT_FALSE(reader.ran_outside());
  EXPECT_EQ(reader.take(), 0);
  EXPECT_EQ(reader.take(), 0);
  EXPECT_TRUE(reader.ran_outside());
  EXPECT_EQ(reader.outside_position(), 2);

  InputReader before(bytes, -2);
  before.consume(-2, 4);
  EXPECT_TRUE(before.ran_outside());
  EXPECT_EQ(before.outside_position(), -2);
}

TEST(OutputWriter, NeverWritesPastItsAreaNorCopiesFromBeforeIt) {
  std::vector<std::uint8_t> area(6);
  OutputWriter out(area);
  EXPECT_FALSE(out.copy_back(1, 1));  // nothing to copy from yet
  EXPECT_TRUE(out.put('A'));
  EXPECT_TRUE(out.put('B'));
  EXPECT_FALSE(out.copy_back(3, 1));
  EXPECT_TRUE(out.copy_back(2, 3));   // overlapping: A B A B A
  EXPECT_FALSE(out.copy_back(1, 2));  // one byte of room left
  EXPECT_TRUE(out.copy_back(1, 1));
  EXPECT_FALSE(out.put('C'));
  EXPECT_EQ(std::string(area.begin(), area.end()), "ABABAA");
  EXPECT_EQ(out.count(), 6);
}

TEST(OutputFile, IsWrittenWholeOrRemoved) {
  TempDir dir;
  const std::vector<std::uint8_t> data = {1, 2, 3};
  const std::string good = (dir / "good.bin").string();
  EXPECT_TRUE(write_output_file(good.c_str(), {data, data}));
  EXPECT_EQ(dir.read("good.bin"), (std::vector<std::uint8_t>{1, 2, 3, 1, 2, 3}));

  // A device that takes no bytes: the failure is seen at the flush, and the device is left alone.
  EXPECT_FALSE(write_output_file("/dev/full", {data}));
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));

  const std::string missing_folder = (dir / "no-such-folder" / "out.bin").string();
  EXPECT_FALSE(write_output_file(missing_folder.c_str(), {data}));

  // A file dropped before close() is not left behind.
  {
    std::optional<OutputFile> file = create_output_file((dir / "dropped.bin").c_str());
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->write(data));
    EXPECT_EQ(file->written(), 3);
  }
  EXPECT_FALSE(dir.exists("dropped.bin"));
}

}  // namespace
