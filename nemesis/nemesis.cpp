#include "nemesis.h"

#include <vector>

#include "frame/input_image.h"

int start_archive(NemesisState& state, std::span<const std::uint8_t> image, std::int32_t offset) {
  state.image = image;
  state.write_pos = 0;
  state.dictionary->fill(EMPTY_ENTRY);
  InputReader input(image, offset);
  const unsigned header = static_cast<unsigned>(input.take()) << 8 | input.take();
  if (input.ran_outside()) {
    state.outside_position = input.outside_position();
    return NEMESIS_OUTSIDE_INPUT;
  }
  state.xor_mode = (header & 0x8000) != 0 ? 1 : 0;
  state.tiles_left = static_cast<std::int32_t>(header & 0x7FFF);
  state.read_pos = static_cast<std::int32_t>(input.position());
  return NEMESIS_DONE;
}

int build_dictionary(NemesisState& state) {
  NemesisDictionary& dictionary = *state.dictionary;
  InputReader input(state.image, state.read_pos);
  auto stop = [&](int result) {
    state.read_pos = static_cast<std::int32_t>(input.position());
    return result;
  };
  int write_value = -1;  // unset until the first marker byte
  for (;;) {
    const unsigned x = input.take();
    if (input.ran_outside()) {
      state.outside_position = input.outside_position();
      return stop(NEMESIS_OUTSIDE_INPUT);
    }
    if (x == 0xFF) return stop(NEMESIS_DONE);
    unsigned length_byte = x;
    if ((x & 0x80) != 0) {
      write_value = static_cast<int>(x & 0x0F);
      length_byte = input.take();
    }
    const unsigned code = input.take();
    if (input.ran_outside()) {
      state.outside_position = input.outside_position();
      return stop(NEMESIS_OUTSIDE_INPUT);
    }
    const unsigned packet_size = length_byte & 0x0F;
    const unsigned write_count_field = length_byte & 0xF0;  // in place, bits 4-7
    if (state.force == 0) {
      if (write_value < 0) return stop(NEMESIS_NO_WRITE_VALUE);
      if (write_count_field > 0x70) return stop(NEMESIS_BAD_WRITE_COUNT);
      if (packet_size == 0) return stop(NEMESIS_PACKET_SIZE_ZERO);
      if (packet_size > 8) return stop(NEMESIS_PACKET_SIZE_OVER_8);
      if (((0xFFu << packet_size) & code) != 0) return stop(NEMESIS_CODE_TOO_WIDE);
    }
    if (write_value < 0) write_value = 15;
    const auto entry =
        static_cast<std::uint16_t>(packet_size << 8 | write_count_field | static_cast<unsigned>(write_value));

    // Every 8-bit index whose first packet_size bits are the code.
    unsigned first = 0;
    unsigned fill = 1;
    if (packet_size <= 8) {
      first = (code << (8 - packet_size)) & 0xFF;
      fill = 1u << (8 - packet_size);
    } else {
      first = code >> (packet_size - 8);
    }
    for (unsigned i = 0; i < fill; ++i) {
      if (dictionary[first + i] != EMPTY_ENTRY) return stop(NEMESIS_ENTRY_TAKEN);
      dictionary[first + i] = entry;
    }
  }
}

int decode_tiles(NemesisState& state) {
  // The bit window holds the last two bytes fetched, the earlier one in the high half; its low
  // `bits_left` bits are the stream bits not yet consumed. After every code bits_left lies between
  // 9 and 16, so the next 8 bits can always be peeked. Bytes past the end of the image fetch as
  // zero: they are look-ahead until a code uses one of their bits.
  const std::span<const std::uint8_t> image = state.image;
  const auto length = static_cast<std::int64_t>(image.size());
  std::int64_t read_pos = state.read_pos;
  bool fetched_outside = false;
  auto next_byte = [&]() -> unsigned {
    const std::int64_t at = read_pos++;
    if (static_cast<std::uint64_t>(at) < image.size()) return image[static_cast<std::size_t>(at)];
    fetched_outside = true;
    return 0;
  };
  unsigned window = next_byte() << 8;
  window |= next_byte();
  int bits_left = 16;

  const std::int32_t tiles = state.tiles_left;
  if (tiles <= 0) {
    state.read_pos = static_cast<std::int32_t>(read_pos);
    return NEMESIS_DONE;
  }
  if (state.output.size() < static_cast<std::size_t>(tiles) * 32) return NEMESIS_OUTPUT_TOO_SMALL;

  const NemesisDictionary& dictionary = *state.dictionary;
  const bool force = state.force != 0;
  const bool xor_mode = state.xor_mode != 0;
  std::uint8_t* out = state.output.data();
  std::size_t write_pos = 0;
  unsigned run = 0;     // slots still to take the current nibble
  unsigned nibble = 0;
  std::uint32_t previous_row = 0;
  auto finish = [&](int result) {
    state.read_pos = static_cast<std::int32_t>(read_pos);
    state.write_pos = static_cast<std::int32_t>(write_pos);
    return result;
  };

  for (std::int32_t tile = 0; tile < tiles; ++tile) {
    for (int row_in_tile = 0; row_in_tile < 8; ++row_in_tile) {
      std::uint32_t row = 0;
      for (int slot = 0; slot < 8; ++slot) {
        if (run > 0) {
          --run;
        } else {
          const unsigned prefix = (window >> (bits_left - 8)) & 0xFF;
          if (prefix < 0xFC) {
            const unsigned entry = dictionary[prefix];
            if (entry == EMPTY_ENTRY && !force) {
              // A peek made of bytes past the end of the image is no code at all.
              if (fetched_outside && read_pos - 1 - (bits_left - 8) / 8 >= length) {
                state.outside_position = length;
                return finish(NEMESIS_OUTSIDE_INPUT);
              }
              return finish(NEMESIS_EMPTY_ENTRY_MET);
            }
            bits_left -= static_cast<int>((entry >> 8) & 0x0F);
            run = (entry >> 4) & 0x0F;
            nibble = entry & 0x0F;
          } else {
            // Escape: six 1 bits, 3 bits of run length minus 1, 4 bits of nibble. A fetch here may
            // push the leading 1 bits out of the window; the seven bits used stay in it.
            if (bits_left < 15) {
              window = ((window << 8) | next_byte()) & 0xFFFF;
              bits_left += 8;
            }
            const unsigned escape = window >> (bits_left - 13);
            run = (escape >> 4) & 7;
            nibble = escape & 0x0F;
            bits_left -= 13;
          }
          // One fetch for a code of up to 8 bits; a longer one (only under force) may need two.
          while (bits_left <= 8) {
            window = ((window << 8) | next_byte()) & 0xFFFF;
            bits_left += 8;
          }
          // The last byte a used bit lies in is the one before the bits_left / 8 unread bytes.
          if (fetched_outside && read_pos - 1 - bits_left / 8 >= length) {
            state.outside_position = length;
            return finish(NEMESIS_OUTSIDE_INPUT);
          }
        }
        row = (row << 4) | nibble;
      }
      if (xor_mode && write_pos > 0) row ^= previous_row;
      previous_row = row;
      out[write_pos] = static_cast<std::uint8_t>(row >> 24);
      out[write_pos + 1] = static_cast<std::uint8_t>(row >> 16);
      out[write_pos + 2] = static_cast<std::uint8_t>(row >> 8);
      out[write_pos + 3] = static_cast<std::uint8_t>(row);
      write_pos += 4;
    }
    state.tiles_left -= 1;
  }
  return finish(NEMESIS_DONE);
}

int check_dictionary_order(const NemesisDictionary& dictionary) {
  std::size_t first_empty = 0;
  while (first_empty < dictionary.size() && dictionary[first_empty] != EMPTY_ENTRY) ++first_empty;
  for (std::size_t k = first_empty + 1; k < 128; ++k) {
    if (dictionary[k] != EMPTY_ENTRY) return NEMESIS_DICTIONARY_OUT_OF_ORDER;
  }
  return NEMESIS_DONE;
}

bool try_nemesis_archive(NemesisState& state, std::span<const std::uint8_t> image, std::int32_t offset) {
  // Three byte reads decide most offsets; bytes past the end read as zero, which fails the tests.
  const InputReader bytes(image, offset);
  const unsigned b0 = bytes.look(offset);
  const unsigned b1 = bytes.look(static_cast<std::int64_t>(offset) + 1);
  const unsigned b2 = bytes.look(static_cast<std::int64_t>(offset) + 2);
  if ((b0 & 0x78) != 0) return false;
  const std::int32_t tiles = static_cast<std::int32_t>((b0 & 0x7F) << 8 | b1);
  if (tiles == 0 || tiles > NEMESIS_SCAN_MAX_TILES) return false;
  if ((b2 & 0xF0) != 0x80) return false;

  if (start_archive(state, image, offset) != NEMESIS_DONE) return false;
  if (build_dictionary(state) != NEMESIS_DONE) return false;
  if (check_dictionary_order(*state.dictionary) != NEMESIS_DONE) return false;
  return decode_tiles(state) == NEMESIS_DONE;
}

std::vector<std::int32_t> find_nemesis_archives(std::span<const std::uint8_t> image) {
  NemesisDictionary dictionary;
  std::vector<std::uint8_t> output(static_cast<std::size_t>(NEMESIS_SCAN_MAX_TILES) * 32);
  NemesisState state;
  state.dictionary = &dictionary;
  state.output = output;
  std::vector<std::int32_t> found;
  for (std::size_t offset = 0; offset < image.size(); offset += 2) {
    if (try_nemesis_archive(state, image, static_cast<std::int32_t>(offset))) {
      found.push_back(static_cast<std::int32_t>(offset));
    }
  }
  return found;
}
