#include "crackers.h"

CrackersArchiveHeader read_module_count(const InputImage& image, std::int32_t offset) {
  InputReader input(image.bytes(), offset);
  const unsigned word = static_cast<unsigned>(input.take()) << 8 | input.take();
  CrackersArchiveHeader header;
  if (input.ran_outside()) {
    header.inside = false;
    header.outside_position = static_cast<std::int32_t>(input.outside_position());
    return header;
  }
  header.module_count = static_cast<std::int32_t>(word) + 1;
  header.first_module = static_cast<std::int32_t>(input.position());
  return header;
}

CrackersModuleResult decode_crackers_module(const InputImage& image, std::int32_t position,
                                            std::span<std::uint8_t> output) {
  CrackersModuleResult result;
  result.start_position = position;
  InputReader input(image.bytes(), position);
  CrackersModuleHeader header;
  header.load_location = static_cast<std::uint16_t>(input.take() << 8);
  header.load_location = static_cast<std::uint16_t>(header.load_location | input.take());
  header.unused = static_cast<std::uint16_t>(input.take() << 8);
  header.unused = static_cast<std::uint16_t>(header.unused | input.take());
  header.control = static_cast<std::uint16_t>(input.take() << 8);
  header.control = static_cast<std::uint16_t>(header.control | input.take());
  result.load_location = header.load_location;
  // The header says how long the module is: all of it must be in the image.
  if (input.ran_outside() || position + header.length() > image.length) {
    result.status = CrackersStatus::outside_input;
    result.error_position =
        input.ran_outside() ? static_cast<std::int32_t>(input.outside_position()) : image.length;
    return result;
  }
  if (static_cast<std::int64_t>(output.size()) < header.largest_output()) {
    result.status = CrackersStatus::output_full;
    result.error_position = position;
    return result;
  }

  // From here every byte of the module is known to lie in the image, and every copy to fit. With
  // 8 bytes to spare past the largest output, copies move 8 bytes at a time.
  const std::uint8_t* stream = image.data.data() + input.position();
  OutputWriter out(output);
  const bool spare = static_cast<std::int64_t>(output.size()) >= header.largest_output() + static_cast<std::int64_t>(OutputWriter::SLACK);
  const int shift = header.shift();
  const unsigned length_mask = (1u << shift) - 1;
  FlagBitReader flags(*stream++, header.flag_bytes() - 1);
  auto next_flag_byte = [&] { return *stream++; };
  while (flags.more()) {
    if (flags.take(next_flag_byte) == 0) {
      out.put_inside(*stream++);
      continue;
    }
    const unsigned reference = *stream++;
    const std::size_t distance = (reference >> shift) + 1;
    const std::size_t length = (reference & length_mask) + 2;
    if (distance > static_cast<std::size_t>(out.count())) {
      result.status = CrackersStatus::invalid_offset;
      result.error_position = static_cast<std::int32_t>(stream - image.data.data());
      return result;
    }
    if (spare) {
      out.copy_back_inside(distance, length);
    } else {
      out.copy_back(distance, length);
    }
  }
  result.decoded_size = out.count();
  result.end_position = static_cast<std::int32_t>(stream - image.data.data());
  return result;
}
