// Sonic Crackers art compression: an archive of modules, each an LZSS-style stream.
//
// Archive: a big-endian word, the module count minus one, then the modules back to back with no
// gap and no end marker.
// Module: load_location (the VRAM address of its data), a word not used, and `control`: bits
// 15-14 the shift selector k, bits 13-0 F, the number of flag bytes after the first. Then F + 1
// groups, each a flag byte and exactly eight one-byte items, taken from the flag's bit 7 down:
//   bit 0  a literal byte;
//   bit 1  a reference byte r: with s = 4 - k, distance = (r >> s) + 1 and
//          length = (r & (2^s - 1)) + 2; the bytes are copied one at a time from `distance` back,
//          so a copy longer than its distance repeats.
// A module is therefore exactly 6 + 9 (F + 1) bytes long, and its end follows from its header.
#pragma once

#include <cstdint>
#include <span>

#include "frame/input_image.h"

inline constexpr std::int32_t CRACKERS_OUTPUT_SIZE = 0x1000000;

struct CrackersModuleHeader {
  std::uint16_t load_location = 0;
  std::uint16_t unused = 0;
  std::uint16_t control = 0;

  int shift() const { return 4 - (control >> 14); }                  // s, 1 to 4
  std::int32_t flag_bytes() const { return (control & 0x3FFF) + 1; }  // F + 1
  std::int64_t length() const { return 6 + 9 * static_cast<std::int64_t>(flag_bytes()); }
  // The most a module can decode to: a first literal, then references of the longest length.
  std::int64_t largest_output() const {
    return 1 + ((1 << shift()) + 1) * (8 * static_cast<std::int64_t>(flag_bytes()) - 1);
  }
};

// Takes the flag bits of a module: the next flag byte is read from the stream the moment its first
// bit is needed, so flag bytes stand between the groups of eight items.
class FlagBitReader {
 public:
  FlagBitReader(std::uint8_t first_flag_byte, std::int32_t flag_bytes_to_load)
      : flag_byte_(first_flag_byte), to_load_(flag_bytes_to_load) {}

  bool more() const { return to_load_ > 0 || bit_index_ >= 0; }

  // The next bit; `stream` yields the next flag byte when the current one is used up.
  template <typename NextByte>
  unsigned take(NextByte&& stream) {
    if (bit_index_ < 0) {
      flag_byte_ = stream();
      --to_load_;
      bit_index_ = 7;
    }
    return (flag_byte_ >> bit_index_--) & 1u;
  }

 private:
  std::uint8_t flag_byte_;
  int bit_index_ = 7;  // 7 down to -1, -1 meaning used up
  std::int32_t to_load_;
};

struct CrackersArchiveHeader {
  bool inside = true;             // false when the word is not wholly in the image
  std::int32_t module_count = 0;  // 1 to 65536
  std::int32_t first_module = 0;  // the archive offset + 2
  std::int32_t outside_position = 0;
};

CrackersArchiveHeader read_module_count(const InputImage& image, std::int32_t offset);

enum class CrackersStatus {
  success,
  invalid_offset,  // a reference reaching before the module's first output byte
  outside_input,   // the module header, or its 6 + 9 (F + 1) bytes, not wholly in the image
  output_full,     // the output area is smaller than the module could decode to
};

struct CrackersModuleResult {
  CrackersStatus status = CrackersStatus::success;
  std::uint16_t load_location = 0;
  std::int32_t start_position = 0;
  std::int32_t end_position = 0;    // the first byte after the module
  std::int32_t decoded_size = 0;
  // One past the offending reference byte; or the first position outside the image.
  std::int32_t error_position = 0;
};

// Decodes the module at `position` into `output` from index 0. The module's length is checked
// against the image, and its largest possible output against `output`, before anything is decoded.
CrackersModuleResult decode_crackers_module(const InputImage& image, std::int32_t position,
                                            std::span<std::uint8_t> output);
