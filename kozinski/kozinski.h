// Kozinski: a byte-oriented LZ77 format steered by 16-bit descriptor fields.
//
// A stream has no header and no length. It opens with a descriptor field; after that, descriptor
// fields and the data bytes of packets follow each other in exactly the order the decoder needs
// them. A descriptor field is two bytes, little-endian, whose bits are taken from bit 0 up to
// bit 15. The moment its 16th bit is taken the next field is read, so a field can stand between a
// packet's code bits and its data bytes, or in the middle of a short-copy code.
//
// Packets, by code bits in the order taken:
//   1           literal: one data byte, copied to the output.
//   0 0 h l     short copy: data byte b; copy 2h + l + 2 bytes from offset b - 256.
//   0 1         long copy: data bytes b0, b1; offset = (((b1 & 0xF8) << 5) | b0) - 8192 and
//               count field k = b1 & 7. k from 1 to 7 copies k + 2 bytes. k = 0 reads b2:
//               0 ends the stream, 1 does nothing, 2 to 255 copy b2 + 1 bytes.
// Copies go one byte at a time in increasing order, so a copy longer than its distance repeats.
#pragma once

#include <cstdint>
#include <span>

#include "frame/input_image.h"

inline constexpr std::int32_t KOZINSKI_OUTPUT_SIZE = 0x100000;

enum class KozinskiStatus {
  finished,
  invalid_short_copy_offset,  // "mode 00": the copy would read before the first output byte
  invalid_long_copy_offset,   // "mode 01": the same for a long copy
  outside_input,              // a byte the stream consumes lies outside the input image
  output_full,                // the stream decodes to more than the output area holds
};

struct KozinskiResult {
  KozinskiStatus status = KozinskiStatus::finished;
  std::int32_t end_position = 0;    // just past the end packet's b2
  std::int32_t decoded_length = 0;  // bytes produced
  // Where an error was met: just past a short copy's offset byte; a long copy's byte b1; the first
  // consumed position outside the input; the position after the packet that did not fit.
  std::int32_t error_position = 0;
};

// Takes the descriptor bits of a stream and reloads fields as they run out. A freshly read field
// is only look-ahead until one of its bits is taken: then its two bytes count as consumed.
//
// take_bit<false> is for a decoder that has made sure the field it may load lies in the image: it
// reads the field straight and does not record it as consumed (the image holds it anyway).
class DescriptorReader {
 public:
  explicit DescriptorReader(InputReader& input) : input_(input) { load_field<true>(); }

  // Where the current field stands.
  std::int64_t field_position() const { return field_position_; }

  template <bool kChecked = true>
  unsigned take_bit() {
    if constexpr (kChecked) {
      if (bits_left_ == 16) input_.consume(field_position_, 2);
    }
    const unsigned bit = descriptor_ & 1u;
    descriptor_ >>= 1;
    if (--bits_left_ == 0) load_field<kChecked>();
    return bit;
  }

 private:
  template <bool kChecked>
  void load_field() {
    field_position_ = input_.position();
    if constexpr (kChecked) {
      descriptor_ = input_.look(field_position_) | static_cast<unsigned>(input_.look(field_position_ + 1)) << 8;
      input_.skip(2);
    } else {
      descriptor_ = input_.take_inside();
      descriptor_ |= static_cast<unsigned>(input_.take_inside()) << 8;
    }
    bits_left_ = 16;
  }

  InputReader& input_;
  unsigned descriptor_ = 0;  // bits not yet taken, the next one at bit 0
  int bits_left_ = 0;        // 16 down to 1
  std::int64_t field_position_ = 0;
};

// Decodes the stream that starts at `start` into `output` (KOZINSKI_OUTPUT_SIZE bytes).
KozinskiResult decode_kozinski(const InputImage& image, std::int32_t start,
                               std::span<std::uint8_t> output);
