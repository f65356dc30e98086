// The Enigma decoder on any bytes.
#include <cstdint>
#include <vector>

#include "enigma/enigma.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<std::uint8_t> output(ENIGMA_OUTPUT_SIZE);
  InputImage image;
  image.data.assign(data, data + size);
  image.length = static_cast<std::int32_t>(size);
  const EnigmaDecodeResult result = enigma_decode(image, 0, output);
  // The window looks at most two bytes past the end code.
  if (result.status == EnigmaStatus::finished && result.end_position > image.length + 2) __builtin_trap();
  if (result.decoded_size < 0 || result.decoded_size > ENIGMA_OUTPUT_SIZE || result.decoded_size % 2 != 0) __builtin_trap();
  return 0;
}
