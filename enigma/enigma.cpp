#include "enigma.h"

#include <bit>

namespace {

// For each flag mask, the flag bits as read (the first read the highest) spread onto the word bits
// 11 to 15 that the mask selects.
struct FlagSpread {
  std::array<std::array<std::uint16_t, 32>, 32> word{};
  std::array<int, 32> count{};
  constexpr FlagSpread() {
    for (unsigned mask = 0; mask < 32; ++mask) {
      count[mask] = std::popcount(mask);
      for (unsigned read = 0; read < 32; ++read) {
        int next = count[mask] - 1;  // the read bit that goes to the next selected word bit
        std::uint16_t flags = 0;
        for (int word_bit = 15; word_bit >= 11; --word_bit) {
          if ((mask >> (word_bit - 11)) & 1u) flags |= static_cast<std::uint16_t>(((read >> next--) & 1u) << word_bit);
        }
        word[mask][read] = flags;
      }
    }
  }
};
constexpr FlagSpread FLAG_SPREAD;

}  // namespace

std::uint16_t read_inline_value(BitWindow& window, const EnigmaHeader& header) {
  const unsigned mask = header.flag_mask & 0x1Fu;
  const int flag_count = FLAG_SPREAD.count[mask];
  const std::uint32_t flags = flag_count > 0 ? FLAG_SPREAD.word[mask][window.read(flag_count)] : 0u;
  // Only the low 16 bits of the low part reach the value, so a part wider than 32 bits may wrap.
  std::uint32_t low = 0;
  for (int left = header.inline_bits; left > 0; left -= 16) {
    const int take = left < 16 ? left : 16;
    low = (low << take) | window.read(take);
  }
  return static_cast<std::uint16_t>(flags + low);
}

EnigmaDecodeResult enigma_decode(const InputImage& image, std::int32_t offset,
                                 std::span<std::uint8_t> output) {
  EnigmaDecodeResult result;
  InputReader input(image.bytes(), offset);
  EnigmaHeader header;
  header.inline_bits = input.take();
  header.flag_mask = input.take();
  header.increment_word = static_cast<std::uint16_t>(input.take() << 8);
  header.increment_word = static_cast<std::uint16_t>(header.increment_word | input.take());
  header.common_word = static_cast<std::uint16_t>(input.take() << 8);
  header.common_word = static_cast<std::uint16_t>(header.common_word | input.take());
  BitWindow window(input, input.position());

  std::size_t out = 0;
  std::uint16_t increment_word = header.increment_word;
  auto stop = [&](EnigmaStatus status, std::int64_t position) {
    result.status = status;
    result.decoded_size = static_cast<std::int32_t>(out);
    result.error_position = static_cast<std::int32_t>(position);
    return result;
  };
  auto put = [&](std::uint16_t word) {
    output[out] = static_cast<std::uint8_t>(word >> 8);
    output[out + 1] = static_cast<std::uint8_t>(word);
    out += 2;
  };

  for (;;) {
    if (input.ran_outside()) return stop(EnigmaStatus::outside_input, input.outside_position());
    unsigned head = window.peek3();
    if ((head & 4u) == 0) {
      head >>= 1;
      window.read(2);
    } else {
      window.read(3);
    }
    const unsigned count = window.read(4);
    window.refill();
    if (input.ran_outside()) return stop(EnigmaStatus::outside_input, input.outside_position());
    if (head == 7 && count == 15) break;  // the end code

    const std::size_t n = count + 1;
    if (output.size() - out < 2 * n) return stop(EnigmaStatus::output_full, window.position());
    switch (head) {
      case 0:  // incrementing copy
        for (std::size_t i = 0; i < n; ++i) put(increment_word++);
        break;
      case 1:  // common copy
        for (std::size_t i = 0; i < n; ++i) put(header.common_word);
        break;
      case 4:
      case 5:
      case 6: {  // inline repeat, ascending, descending
        std::uint16_t value = read_inline_value(window, header);
        window.refill();
        if (input.ran_outside()) return stop(EnigmaStatus::outside_input, input.outside_position());
        const int step = head == 4 ? 0 : head == 5 ? 1 : -1;
        for (std::size_t i = 0; i < n; ++i) {
          put(value);
          value = static_cast<std::uint16_t>(value + step);
        }
        break;
      }
      default:  // inline list: each value read just before it is written
        for (std::size_t i = 0; i < n; ++i) {
          const std::uint16_t value = read_inline_value(window, header);
          window.refill();
          if (input.ran_outside()) return stop(EnigmaStatus::outside_input, input.outside_position());
          put(value);
        }
        break;
    }
  }
  result.decoded_size = static_cast<std::int32_t>(out);
  result.end_position = static_cast<std::int32_t>(window.position());
  return result;
}

std::array<std::uint8_t, SpecialStageForm::DATA_SIZE> strip_special_stage(std::span<const std::uint8_t> form) {
  std::array<std::uint8_t, SpecialStageForm::DATA_SIZE> data{};
  for (std::size_t row = 0; row < SpecialStageForm::ROWS; ++row) {
    const std::size_t from = SpecialStageForm::ZERO_BLOCK + row * SpecialStageForm::ROW_SIZE + SpecialStageForm::ROW_MARGIN;
    for (std::size_t i = 0; i < SpecialStageForm::ROW_DATA && from + i < form.size(); ++i) {
      data[row * SpecialStageForm::ROW_DATA + i] = form[from + i];
    }
  }
  return data;
}
