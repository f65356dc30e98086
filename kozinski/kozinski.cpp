#include "kozinski.h"

namespace {

KozinskiResult stopped(KozinskiStatus status, std::int64_t position, const OutputWriter& out) {
  KozinskiResult result;
  result.status = status;
  result.error_position = static_cast<std::int32_t>(position);
  result.decoded_length = out.count();
  return result;
}

}  // namespace

KozinskiResult decode_kozinski(const InputImage& image, std::int32_t start,
                               std::span<std::uint8_t> output) {
  InputReader input(image.bytes(), start);
  OutputWriter out(output);
  DescriptorReader descriptor(input);

  // A byte read outside the image reads as zero; the packet that consumed it is reported as
  // running outside rather than by what those zeros would mean.
  auto outside = [&] { return stopped(KozinskiStatus::outside_input, input.outside_position(), out); };

  for (;;) {
    if (descriptor.take_bit() == 1) {
      const std::uint8_t literal = input.take();
      if (input.ran_outside()) return outside();
      if (!out.put(literal)) return stopped(KozinskiStatus::output_full, input.position(), out);
      continue;
    }

    std::size_t count = 0;
    std::size_t distance = 0;
    if (descriptor.take_bit() == 0) {
      // Short copy: 2h + l + 2 bytes from offset b - 256.
      const unsigned h = descriptor.take_bit();
      const unsigned l = descriptor.take_bit();
      const std::uint8_t b = input.take();
      if (input.ran_outside()) return outside();
      distance = 256u - b;
      count = 2 * h + l + 2;
      if (distance > static_cast<std::size_t>(out.count())) {
        return stopped(KozinskiStatus::invalid_short_copy_offset, input.position(), out);
      }
    } else {
      // Long copy: a 13-bit distance in b0 and the top five bits of b1, a count in b1's low bits.
      const std::uint8_t b0 = input.take();
      const std::int64_t b1_position = input.position();
      const std::uint8_t b1 = input.take();
      distance = 8192u - ((static_cast<unsigned>(b1 & 0xF8) << 5) | b0);
      if (const unsigned k = b1 & 7u; k != 0) {
        count = k + 2;
      } else {
        const std::uint8_t b2 = input.take();
        if (input.ran_outside()) return outside();
        if (b2 == 0) break;  // the end packet
        if (b2 == 1) continue;
        count = static_cast<std::size_t>(b2) + 1;
      }
      if (input.ran_outside()) return outside();
      // Only a copy that copies is tested, against the output it reads from.
      if (distance > static_cast<std::size_t>(out.count())) {
        return stopped(KozinskiStatus::invalid_long_copy_offset, b1_position, out);
      }
    }
    if (!out.copy_back(distance, count)) {
      return stopped(KozinskiStatus::output_full, input.position(), out);
    }
  }

  KozinskiResult result;
  result.end_position = static_cast<std::int32_t>(input.position());
  result.decoded_length = out.count();
  return result;
}
