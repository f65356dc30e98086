// The Crackers module decoder walking an archive of any bytes, module after module.
#include <cstdint>
#include <vector>

#include "crackers/crackers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<std::uint8_t> output(CRACKERS_OUTPUT_SIZE);
  InputImage image;
  image.data.assign(data, data + size);
  image.length = static_cast<std::int32_t>(size);
  const CrackersArchiveHeader archive = read_module_count(image, 0);
  if (!archive.inside) return 0;
  std::int32_t position = archive.first_module;
  for (std::int32_t module = 0; module < archive.module_count; ++module) {
    const CrackersModuleResult result = decode_crackers_module(image, position, output);
    if (result.status != CrackersStatus::success) break;
    if (result.end_position <= position || result.end_position > image.length) __builtin_trap();
    if (result.decoded_size < 8) __builtin_trap();
    position = result.end_position;
  }
  return 0;
}
