// The Kozinski decoder on any bytes, from the start and from an offset the first byte chooses.
#include <cstdint>
#include <vector>

#include "kozinski/kozinski.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<std::uint8_t> output(KOZINSKI_OUTPUT_SIZE);
  InputImage image;
  image.data.assign(data, data + size);
  image.length = static_cast<std::int32_t>(size);
  for (const std::int32_t start : {0, size > 0 ? static_cast<std::int32_t>(data[0] % size) : 0}) {
    const KozinskiResult result = decode_kozinski(image, start, output);
    if (result.status == KozinskiStatus::finished && result.end_position > image.length) __builtin_trap();
    if (result.decoded_length < 0 || result.decoded_length > KOZINSKI_OUTPUT_SIZE) __builtin_trap();
  }
  return 0;
}
