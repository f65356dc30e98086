#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crackers/crackers.h"
#include "support/crackers_module.h"
#include "tools/PILMARO/module_file_name.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

InputImage image_with(const Bytes& bytes, std::size_t at = 0x100) {
  InputImage image;
  image.data.assign(at + bytes.size(), 0xEE);
  std::copy(bytes.begin(), bytes.end(), image.data.begin() + static_cast<long>(at));
  image.length = static_cast<std::int32_t>(image.data.size());
  return image;
}

struct Decoded {
  CrackersModuleResult result;
  Bytes output;
};

Decoded decode(const InputImage& image, std::int32_t position = 0x100) {
  static std::vector<std::uint8_t> area(CRACKERS_OUTPUT_SIZE);
  Decoded d;
  d.result = decode_crackers_module(image, position, area);
  d.output.assign(area.begin(), area.begin() + d.result.decoded_size);
  return d;
}

TEST(CrackersDecoder, WorkedExample) {
  const Bytes module = {0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x20, 0x41, 0x42, 0x1F, 0x01, 0x02, 0x03, 0x04, 0x05};
  EXPECT_EQ(CrackersModuleBuilder(0x20, 0).literal(0x41).literal(0x42).reference(2, 17)
                .literal(1).literal(2).literal(3).literal(4).literal(5).bytes(), module);
  const Decoded d = decode(image_with(module));
  ASSERT_EQ(d.result.status, CrackersStatus::success);
  Bytes expected = {0x41, 0x42};
  for (int i = 0; i < 17; ++i) expected.push_back(i % 2 == 0 ? 0x41 : 0x42);
  expected.insert(expected.end(), {1, 2, 3, 4, 5});
  EXPECT_EQ(d.output, expected);
  EXPECT_EQ(d.result.load_location, 0x20);
  EXPECT_EQ(d.result.start_position, 0x100);
  EXPECT_EQ(d.result.end_position, 0x100 + 15);
}

TEST(CrackersDecoder, ReferencesReachingBeforeTheOutputFail) {
  // A first reference: reported one past it, p + 8.
  Decoded d = decode(image_with(CrackersModuleBuilder(0, 0).reference(1, 2).bytes()));
  EXPECT_EQ(d.result.status, CrackersStatus::invalid_offset);
  EXPECT_EQ(d.result.error_position, 0x108);
  // A distance equal to the output position copies from index 0; one more fails.
  d = decode(image_with(CrackersModuleBuilder(0, 0).literal('a').literal('b').literal('c').reference(3, 3).bytes()));
  ASSERT_EQ(d.result.status, CrackersStatus::success);
  EXPECT_EQ(std::string(d.output.begin(), d.output.begin() + 6), "abcabc");
  d = decode(image_with(CrackersModuleBuilder(0, 0).literal('a').literal('b').literal('c').reference(4, 3).bytes()));
  EXPECT_EQ(d.result.status, CrackersStatus::invalid_offset);
  EXPECT_EQ(d.result.error_position, 0x100 + 6 + 1 + 4);
}

TEST(CrackersDecoder, ShiftSelectorThreeSplitsAtBitOne) {
  // control 0xC000: s = 1. 0x00 is 2 bytes from 1 back; 0xFF asks for 3 bytes from 128 back.
  Bytes module = CrackersModuleBuilder(0, 3).literal('x').raw_reference(0x00).bytes();
  EXPECT_EQ(module[4], 0xC0);
  EXPECT_EQ(module[5], 0x00);
  Decoded d = decode(image_with(module));
  ASSERT_EQ(d.result.status, CrackersStatus::success);
  EXPECT_EQ(std::string(d.output.begin(), d.output.begin() + 3), "xxx");
  EXPECT_EQ(d.result.decoded_size, 1 + 2 + 6);

  CrackersModuleBuilder far(0, 3);
  for (int i = 0; i < 127; ++i) far.literal(static_cast<std::uint8_t>(i));
  d = decode(image_with(far.raw_reference(0xFF).bytes()));
  EXPECT_EQ(d.result.status, CrackersStatus::invalid_offset);
  CrackersModuleBuilder reach(0, 3);
  for (int i = 0; i < 128; ++i) reach.literal(static_cast<std::uint8_t>(i));
  d = decode(image_with(reach.raw_reference(0xFF).bytes()));
  ASSERT_EQ(d.result.status, CrackersStatus::success);
  EXPECT_EQ(d.output[128], 0);
  EXPECT_EQ(d.output[130], 2);
}

TEST(CrackersDecoder, ModuleLengthFollowsFromItsControlWord) {
  // control 0: one flag byte, eight items; control 1: two, sixteen items, 24 bytes.
  Bytes one = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8};
  Decoded d = decode(image_with(one));
  EXPECT_EQ(d.result.decoded_size, 8);
  EXPECT_EQ(d.result.end_position, 0x100 + 15);
  Bytes two = {0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 0x01, 9, 10, 11, 12, 13, 14, 15, 0x10};
  d = decode(image_with(two));
  ASSERT_EQ(d.result.status, CrackersStatus::success);
  EXPECT_EQ(d.result.end_position, 0x100 + 24);
  EXPECT_EQ(d.result.decoded_size, 15 + 2);  // 0x10: 2 bytes from 2 back
}

TEST(CrackersDecoder, LargestModule) {
  // control 0x3FFF, k = 0: a literal, then 131,071 references of length 17.
  CrackersModuleBuilder largest(0xFFFF, 0);
  largest.literal(0x5A);
  for (int i = 1; i < 8 * 16384; ++i) largest.reference(1, 17);
  const Bytes module = largest.bytes();
  ASSERT_EQ(module.size(), 6u + 9 * 16384);
  const Decoded d = decode(image_with(module));
  ASSERT_EQ(d.result.status, CrackersStatus::success);
  EXPECT_EQ(d.result.decoded_size, 2228208);
  EXPECT_TRUE(std::all_of(d.output.begin(), d.output.end(), [](std::uint8_t b) { return b == 0x5A; }));
}

TEST(CrackersDecoder, ModulesAndArchiveHeadersOutsideTheImageFail) {
  const Bytes module = CrackersModuleBuilder(0x20, 0).literal(1).literal(2).reference(1, 5).bytes();
  for (std::size_t cut = 0; cut < module.size(); ++cut) {
    const InputImage image = image_with(Bytes(module.begin(), module.begin() + static_cast<long>(cut)));
    const Decoded d = decode(image);
    EXPECT_EQ(d.result.status, CrackersStatus::outside_input) << cut;
    EXPECT_EQ(d.result.error_position, 0x100 + static_cast<std::int32_t>(cut)) << cut;
  }
  const InputImage image = image_with(module);
  for (std::int32_t position : {-1, image.length, 0x7FFFFFFF}) {
    EXPECT_EQ(decode(image, position).result.status, CrackersStatus::outside_input);
    EXPECT_EQ(decode(image, position).result.error_position, position);
  }
  EXPECT_FALSE(read_module_count(image, image.length - 1).inside);
  EXPECT_EQ(read_module_count(image, image.length - 1).outside_position, image.length);
  const CrackersArchiveHeader many = read_module_count(image_with({0xFF, 0xFF}), 0x100);
  EXPECT_EQ(many.module_count, 65536);
  EXPECT_EQ(many.first_module, 0x102);
  EXPECT_EQ(read_module_count(image_with({0x00, 0x00}), 0x100).module_count, 1);
}

TEST(CrackersDecoder, RefusesAnOutputAreaSmallerThanTheModuleCouldNeed) {
  const InputImage image = image_with(CrackersModuleBuilder(0, 0).literal(1).bytes());
  std::vector<std::uint8_t> area(1 + 17 * 7 - 1);
  EXPECT_EQ(decode_crackers_module(image, 0x100, area).status, CrackersStatus::output_full);
  area.resize(1 + 17 * 7);
  EXPECT_EQ(decode_crackers_module(image, 0x100, area).status, CrackersStatus::success);
}

TEST(ModuleFileName, CutsAndDigits) {
  struct Case {
    std::string outfile;
    std::uint16_t load_location;
    bool single;
    std::string name;
  };
  const std::string long_name(70, 'n');
  const Case cases[] = {
      {"art.bin", 0x1A40, false, "art - 0x1A40.bin"},
      {"tiles", 0x1A40, false, "tiles - 0x1A40"},
      {"art.tiles", 0x1A40, false, "art - 0x1A40.til"},
      {"a.b", 0x1A40, false, "a - 0x1A40.b"},
      {"art.bin", 0x0020, false, "art - 0x0020.bin"},
      {"art.old.bin", 0xFFFF, false, "art - 0xFFFF.old"},
      {"out.d/art.bin", 0x0001, false, "out - 0x0001.d/a"},  // the first '.' is in the folder
      {long_name, 0x1234, false, std::string(64, 'n') + " - 0x1234nnnn"},
      {long_name + ".bin", 0x1234, false, std::string(64, 'n') + " - 0x1234nnnn"},
      {std::string(64, 'n') + ".bin", 0x1234, false, std::string(64, 'n') + " - 0x1234.bin"},
      {"art.bin", 0x1A40, true, "art.bin"},
      {long_name, 0x1A40, true, std::string(64, 'n')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(module_file_name(c.outfile, c.load_location, c.single), c.name) << c.outfile;
  }
}

}  // namespace
