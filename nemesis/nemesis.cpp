#include "nemesis.h"

#include <cstring>
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
  // The format reads the stream through a 16-bit window: two bytes at the start, one more each
  // time 8 or fewer bits are left unread after a code, and one ahead of an escape met with fewer
  // than 15 unread. After every code 9 to 16 bits are unread, so once codes of T bits in all have
  // been consumed the window has taken exactly ceil((T + 9) / 8) bytes: that is the archive's end.
  // The decoder therefore reads the stream as a bit cursor, one 32-bit look per code, and works
  // the archive end out from T. A code uses bits up to T, so the archive runs outside the image
  // exactly when T passes the bits the image holds; the look-ahead past T is not an error.
  const std::int64_t stream_start = state.read_pos;
  MsbBitStream stream(state.image, stream_start);
  const std::int64_t bits_in_image = stream.bits_in_image();
  std::int64_t bit = 0;  // T, the stream bits consumed by codes
  std::int32_t tiles_done = 0;
  const std::int32_t tiles = state.tiles_left;
  std::size_t write_pos = 0;
  auto finish = [&](int result) {
    state.read_pos = static_cast<std::int32_t>(stream_start + (bit + 9 + 7) / 8);
    state.write_pos = static_cast<std::int32_t>(write_pos);
    state.tiles_left = tiles - tiles_done;
    return result;
  };
  if (tiles <= 0) return finish(NEMESIS_DONE);
  if (state.output.size() < static_cast<std::size_t>(tiles) * 32) return NEMESIS_OUTPUT_TOO_SMALL;

  // The tiles are one stream of nibbles, two to a byte, the first in the high half. A code's run
  // goes into it at once: a byte whose low half it starts in is completed, and the rest is one
  // store of the nibble repeated, which may write ahead of the run (the next code overwrites that)
  // but never past the area: near its end the run is stored byte by byte. Whatever remains of a
  // run after the last tile is dropped.
  const NemesisDictionary& dictionary = *state.dictionary;
  const bool force = state.force != 0;
  std::uint8_t* out = state.output.data();
  const std::size_t area = state.output.size();
  const std::size_t nibbles = static_cast<std::size_t>(tiles) * 64;
  std::size_t at = 0;  // nibbles written
  while (at < nibbles) {
    const std::uint32_t ahead = stream.peek32(bit);
    const unsigned prefix = ahead >> 24;
    unsigned nibble = 0;
    std::size_t run = 0;
    if (prefix < 0xFC) {
      const unsigned entry = dictionary[prefix];
      if (entry == EMPTY_ENTRY && !force) {
        write_pos = at / 2;
        tiles_done = static_cast<std::int32_t>(at / 64);
        // A look made of bytes past the end of the image is no code at all.
        if (bit + 8 > bits_in_image) {
          state.outside_position = static_cast<std::int64_t>(state.image.size());
          return finish(NEMESIS_OUTSIDE_INPUT);
        }
        return finish(NEMESIS_EMPTY_ENTRY_MET);
      }
      bit += (entry >> 8) & 0x0F;
      run = ((entry >> 4) & 0x0F) + 1;
      nibble = entry & 0x0F;
    } else {
      // Escape: six 1 bits, 3 bits of run length minus 1, 4 bits of nibble.
      const unsigned escape = (ahead >> 19) & 0x7F;
      run = (escape >> 4) + 1;
      nibble = escape & 0x0F;
      bit += 13;
    }
    if (bit > bits_in_image) {
      write_pos = at / 2;
      tiles_done = static_cast<std::int32_t>(at / 64);
      state.outside_position = static_cast<std::int64_t>(state.image.size());
      return finish(NEMESIS_OUTSIDE_INPUT);
    }
    if (run > nibbles - at) run = nibbles - at;

    std::size_t byte = at / 2;
    at += run;
    if ((at - run) % 2 != 0) {
      out[byte] = static_cast<std::uint8_t>((out[byte] & 0xF0) | nibble);
      ++byte;
      --run;
    }
    const std::uint8_t pair = static_cast<std::uint8_t>(nibble * 0x11);
    if (byte + 8 <= area) {
      const std::uint64_t repeated = pair * 0x0101010101010101ull;
      std::memcpy(out + byte, &repeated, 8);  // a run is at most 16 nibbles: 8 bytes
    } else {
      for (std::size_t k = 0; k < (run + 1) / 2; ++k) out[byte + k] = pair;
    }
  }
  write_pos = nibbles / 2;
  tiles_done = tiles;

  // XOR mode: each row of 4 bytes after the first is XORed with the row output before it.
  if (state.xor_mode != 0) {
    std::uint32_t previous = 0;
    for (std::size_t row = 0; row < write_pos; row += 4) {
      std::uint32_t current;
      std::memcpy(&current, out + row, 4);
      current ^= previous;
      std::memcpy(out + row, &current, 4);
      previous = current;
    }
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
