// The scanner's trial at every candidate of any bytes; every offset found must decode again.
#include <cstdint>
#include <vector>

#include "nemesis/nemesis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  const std::vector<std::int32_t> found = find_nemesis_archives(image);
  NemesisDictionary dictionary;
  std::vector<std::uint8_t> output(static_cast<std::size_t>(NEMESIS_SCAN_MAX_TILES) * 32);
  NemesisState state;
  state.dictionary = &dictionary;
  state.output = output;
  for (const std::int32_t offset : found) {
    if (offset % 2 != 0 || !try_nemesis_archive(state, image, offset)) __builtin_trap();
  }
  return 0;
}
