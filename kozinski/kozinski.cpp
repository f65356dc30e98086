#include "kozinski.h"

namespace {

// The most a packet reads (a reloaded descriptor field and three data bytes) and writes (256 bytes
// of a long copy).
constexpr std::int64_t PACKET_INPUT = 5;
constexpr std::size_t PACKET_OUTPUT = 256;

enum class Step { next, ended, stopped };

struct Decoder {
  InputReader input;
  OutputWriter out;
  DescriptorReader descriptor;
  KozinskiResult result;

  Decoder(const InputImage& image, std::int32_t start, std::span<std::uint8_t> output)
      : input(image.bytes(), start), out(output), descriptor(input) {}

  Step stop(KozinskiStatus status, std::int64_t position) {
    result.status = status;
    result.error_position = static_cast<std::int32_t>(position);
    return Step::stopped;
  }

  template <bool kChecked>
  std::uint8_t data_byte() {
    if constexpr (kChecked) return input.take();
    return input.take_inside();
  }

  // Decodes one packet. Unchecked, the caller has made sure that the packet's bytes lie in the
  // image and that its output fits with room to spare; checked, a byte read outside the image reads
  // as zero, and the packet that consumed it is reported as running outside rather than by what
  // those zeros would mean.
  template <bool kChecked>
  Step packet() {
    if (descriptor.take_bit<kChecked>() == 1) {
      const std::uint8_t literal = data_byte<kChecked>();
      if constexpr (kChecked) {
        if (input.ran_outside()) return stop(KozinskiStatus::outside_input, input.outside_position());
        if (!out.put(literal)) return stop(KozinskiStatus::output_full, input.position());
      } else {
        out.put_inside(literal);
      }
      return Step::next;
    }

    std::size_t count = 0;
    std::size_t distance = 0;
    if (descriptor.take_bit<kChecked>() == 0) {
      // Short copy: 2h + l + 2 bytes from offset b - 256.
      const unsigned h = descriptor.take_bit<kChecked>();
      const unsigned l = descriptor.take_bit<kChecked>();
      const std::uint8_t b = data_byte<kChecked>();
      if (kChecked && input.ran_outside()) return stop(KozinskiStatus::outside_input, input.outside_position());
      distance = 256u - b;
      count = 2 * h + l + 2;
      if (distance > static_cast<std::size_t>(out.count())) {
        return stop(KozinskiStatus::invalid_short_copy_offset, input.position());
      }
    } else {
      // Long copy: a 13-bit distance in b0 and the top five bits of b1, a count in b1's low bits.
      const std::uint8_t b0 = data_byte<kChecked>();
      const std::int64_t b1_position = input.position();
      const std::uint8_t b1 = data_byte<kChecked>();
      distance = 8192u - ((static_cast<unsigned>(b1 & 0xF8) << 5) | b0);
      if (const unsigned k = b1 & 7u; k != 0) {
        count = k + 2;
      } else {
        const std::uint8_t b2 = data_byte<kChecked>();
        if (kChecked && input.ran_outside()) return stop(KozinskiStatus::outside_input, input.outside_position());
        if (b2 == 0) return Step::ended;  // the end packet
        if (b2 == 1) return Step::next;
        count = static_cast<std::size_t>(b2) + 1;
      }
      if (kChecked && input.ran_outside()) return stop(KozinskiStatus::outside_input, input.outside_position());
      // Only a copy that copies is tested, against the output it reads from.
      if (distance > static_cast<std::size_t>(out.count())) {
        return stop(KozinskiStatus::invalid_long_copy_offset, b1_position);
      }
    }
    if constexpr (kChecked) {
      if (!out.copy_back(distance, count)) return stop(KozinskiStatus::output_full, input.position());
    } else {
      out.copy_back_inside(distance, count);
    }
    return Step::next;
  }
};

}  // namespace

KozinskiResult decode_kozinski(const InputImage& image, std::int32_t start, std::span<std::uint8_t> output) {
  Decoder decoder(image, start, output);
  Step step = Step::next;
  while (step == Step::next) {
    // Packets far from both ends need no checks; the ones near an end take the checked path. (The
    // current field lies before the position, so it is in the image once its start is.)
    while (step == Step::next && decoder.descriptor.field_position() >= 0 && decoder.input.inside_ahead(PACKET_INPUT) &&
           decoder.out.has_room(PACKET_OUTPUT + OutputWriter::SLACK)) {
      step = decoder.packet<false>();
    }
    if (step == Step::next) step = decoder.packet<true>();
  }
  decoder.result.decoded_length = decoder.out.count();
  if (step == Step::ended) decoder.result.end_position = static_cast<std::int32_t>(decoder.input.position());
  return decoder.result;
}
