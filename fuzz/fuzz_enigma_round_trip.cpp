// The Enigma encoder on any words, then the decoder: the words must come back, and the stream must
// end one byte past its own length.
#include <cstdint>
#include <cstring>
#include <vector>

#include "enigma/enigma.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<std::uint8_t> output(ENIGMA_OUTPUT_SIZE);
  const std::span<const std::uint8_t> words(data, size & ~std::size_t{1});
  if (words.size() > static_cast<std::size_t>(ENIGMA_OUTPUT_SIZE)) return 0;
  InputImage stream;
  enigma_compress(words, stream.data);
  stream.length = static_cast<std::int32_t>(stream.data.size());
  const EnigmaDecodeResult result = enigma_decode(stream, 0, output);
  if (result.status != EnigmaStatus::finished) __builtin_trap();
  if (result.end_position != stream.length + 1) __builtin_trap();
  if (static_cast<std::size_t>(result.decoded_size) != words.size()) __builtin_trap();
  if (!words.empty() && std::memcmp(output.data(), words.data(), words.size()) != 0) __builtin_trap();
  return 0;
}
