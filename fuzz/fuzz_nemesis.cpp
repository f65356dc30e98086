// The Nemesis dictionary build and tile decoder on any bytes, with and without force. The output
// area is exactly tile count x 32 bytes, so any write past it is caught.
#include <cstdint>
#include <vector>

#include "nemesis/nemesis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  for (const std::uint8_t force : {0, 1}) {
    NemesisDictionary dictionary;
    NemesisState state;
    state.dictionary = &dictionary;
    state.force = force;
    if (start_archive(state, image, 0) != NEMESIS_DONE) return 0;
    const std::int32_t tiles = state.tiles_left;
    std::vector<std::uint8_t> output(static_cast<std::size_t>(tiles) * 32);
    state.output = output;
    if (build_dictionary(state) != NEMESIS_DONE) continue;
    const int decoded = decode_tiles(state);
    if (decoded == NEMESIS_DONE && state.write_pos != tiles * 32) __builtin_trap();
    if (state.write_pos > tiles * 32) __builtin_trap();
  }
  return 0;
}
