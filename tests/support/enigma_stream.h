// Test-only writer of Enigma streams: header fields, then packets by kind and count, with inline
// values written by the header's flag mask and inline bits.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "enigma/enigma.h"

class EnigmaStreamWriter {
 public:
  explicit EnigmaStreamWriter(const EnigmaHeader& header) : header_(header) {
    bytes_ = {header.inline_bits, header.flag_mask,
              static_cast<std::uint8_t>(header.increment_word >> 8), static_cast<std::uint8_t>(header.increment_word),
              static_cast<std::uint8_t>(header.common_word >> 8), static_cast<std::uint8_t>(header.common_word)};
  }

  EnigmaStreamWriter& incrementing(unsigned n) { return head(0b00, 2, n); }
  EnigmaStreamWriter& common(unsigned n) { return head(0b01, 2, n); }
  EnigmaStreamWriter& repeat(unsigned n, std::uint16_t value) { return head(0b100, 3, n).inline_value(value); }
  EnigmaStreamWriter& ascending(unsigned n, std::uint16_t value) { return head(0b101, 3, n).inline_value(value); }
  EnigmaStreamWriter& descending(unsigned n, std::uint16_t value) { return head(0b110, 3, n).inline_value(value); }
  EnigmaStreamWriter& list(std::initializer_list<std::uint16_t> values) {
    head(0b111, 3, static_cast<unsigned>(values.size()));
    for (std::uint16_t value : values) inline_value(value);
    return *this;
  }
  // Seven 1 bits.
  EnigmaStreamWriter& end() { return bits(0x7F, 7); }

  // The flag bits the mask selects (bit 15 first), then the low inline_bits bits.
  EnigmaStreamWriter& inline_value(std::uint16_t value) {
    for (int word_bit = 15; word_bit >= 11; --word_bit) {
      if ((header_.flag_mask >> (word_bit - 11)) & 1u) bits((value >> word_bit) & 1u, 1);
    }
    for (int i = header_.inline_bits; i-- > 0;) bits(i < 16 ? (value >> i) & 1u : 0u, 1);
    return *this;
  }
  EnigmaStreamWriter& bits(std::uint32_t value, int count) {
    for (int i = count; i-- > 0;) {
      if (stream_bits_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (stream_bits_ % 8));
      ++stream_bits_;
    }
    return *this;
  }

  std::size_t stream_bits() const { return stream_bits_; }  // B
  // The header and the bits, the last byte completed with zero bits.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  EnigmaStreamWriter& head(unsigned code, int width, unsigned n) {
    bits(code, width);
    return bits(n - 1, 4);
  }

  EnigmaHeader header_;
  std::vector<std::uint8_t> bytes_;
  std::size_t stream_bits_ = 0;
};
