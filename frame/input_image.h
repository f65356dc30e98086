// The input image: a whole input file in memory, and the readers through which codecs read it.
//
// A codec reads through an InputReader, which yields zero for any position outside the image
// (before its first byte or at and past its length) and remembers the first such position whose
// byte the codec actually consumed. Bytes fetched only as look-ahead (a bit window filled ahead of
// need, a descriptor field none of whose bits is used) are read with look() and never count; a
// codec that uses them says so with consume(). The decision "this stream ran outside the file" is
// therefore made in one place: ran_outside(). Bit streams are read through an MsbBitStream, which
// also yields zero outside the image; its codec reports the bytes it used to its InputReader or
// compares the bits it used with bits_in_image(). Only a range the reader has vouched for
// (inside_ahead(), or a length checked against the image) is read without a check.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

struct InputImage {
  std::vector<std::uint8_t> data;  // exactly `length` bytes
  std::int32_t length = 0;

  std::span<const std::uint8_t> bytes() const {
    return {data.data(), static_cast<std::size_t>(length)};
  }
};

class InputReader {
 public:
  // Positions are kept in 64 bits so that a start offset near the top of the signed 32-bit range
  // can advance without overflow; every position a codec reports fits in 32 bits again.
  InputReader(std::span<const std::uint8_t> image, std::int64_t position)
      : image_(image), position_(position) {}

  std::int64_t position() const { return position_; }
  void skip(std::int64_t count) { position_ += count; }
  std::span<const std::uint8_t> image() const { return image_; }

  // The byte at `index` without consuming it; zero outside the image.
  std::uint8_t look(std::int64_t index) const {
    return inside(index) ? image_[static_cast<std::size_t>(index)] : 0;
  }

  // Records that the bytes [index, index + count) are part of the stream.
  void consume(std::int64_t index, std::int64_t count = 1) {
    if (count <= 0) return;
    const auto size = static_cast<std::int64_t>(image_.size());
    if (index < 0) {
      note_outside(index);
    } else if (index + count > size) {
      note_outside(index > size ? index : size);
    }
  }

  // The byte at the position, consumed; the position advances by one.
  std::uint8_t take() {
    const std::int64_t index = position_++;
    if (inside(index)) return image_[static_cast<std::size_t>(index)];
    note_outside(index);
    return 0;
  }

  // Whether the `count` bytes from the position on are all in the image; while they are, a codec
  // may read them with take_inside().
  bool inside_ahead(std::int64_t count) const {
    return position_ >= 0 && static_cast<std::uint64_t>(position_ + count) <= image_.size();
  }
  std::uint8_t take_inside() { return image_[static_cast<std::size_t>(position_++)]; }

  bool ran_outside() const { return ran_outside_; }
  // The first consumed position that lies outside the image.
  std::int64_t outside_position() const { return outside_position_; }

 private:
  bool inside(std::int64_t index) const {
    return static_cast<std::uint64_t>(index) < image_.size();
  }
  void note_outside(std::int64_t index) {
    if (!ran_outside_) {
      ran_outside_ = true;
      outside_position_ = index;
    }
  }

  std::span<const std::uint8_t> image_;
  std::int64_t position_;
  bool ran_outside_ = false;
  std::int64_t outside_position_ = 0;
};

// A bit stream in the image read from the most significant bit of each byte, by bit number from the
// stream's first byte; bits outside the image read as zero. At least 57 bits from a stream position
// stand in a register, reloaded once 25 of them have been passed, so a look of up to 32 bits always
// finds them. Looking is free of bounds decisions: a codec compares the bits it used with
// bits_in_image() (or reports them to an InputReader) to tell whether it ran outside.
class MsbBitStream {
 public:
  MsbBitStream(std::span<const std::uint8_t> image, std::int64_t first_byte)
      : image_(image), first_byte_(first_byte) {
    load(0);
  }

  // The 32 stream bits from bit number `bit` on, the first of them at the top.
  std::uint32_t peek32(std::int64_t bit) {
    if (bit - loaded_from_ > 25 || bit < loaded_from_) load(bit);
    return static_cast<std::uint32_t>((loaded_ << (bit - loaded_from_)) >> 32);
  }

  // How many stream bits lie in the image (negative when the stream starts past its end).
  std::int64_t bits_in_image() const { return 8 * (static_cast<std::int64_t>(image_.size()) - first_byte_); }
  // The image position of the byte that holds stream bit `bit`.
  std::int64_t byte_of(std::int64_t bit) const { return first_byte_ + (bit >> 3); }

 private:
  void load(std::int64_t bit) {
    const std::int64_t byte = byte_of(bit);
    std::uint64_t ahead = 0;
    if (byte >= 0 && static_cast<std::uint64_t>(byte) + 8 <= image_.size()) {
      std::memcpy(&ahead, image_.data() + byte, 8);
      if constexpr (std::endian::native == std::endian::little) ahead = __builtin_bswap64(ahead);
    } else {
      for (std::int64_t i = byte; i < byte + 8; ++i) {
        ahead = ahead << 8 | (static_cast<std::uint64_t>(i) < image_.size() ? image_[static_cast<std::size_t>(i)] : 0u);
      }
    }
    loaded_ = ahead << (bit & 7);
    loaded_from_ = bit;
  }

  std::span<const std::uint8_t> image_;
  std::int64_t first_byte_;
  std::uint64_t loaded_ = 0;  // stream bits from loaded_from_ on, at the top
  std::int64_t loaded_from_ = 0;
};

// An output area the calling tool owns, filled from index 0 upward. It has a fixed capacity and
// one checked way in: put() and copy_back() refuse, rather than write past the end, and
// copy_back() refuses a source before the start of the area.
class OutputWriter {
 public:
  explicit OutputWriter(std::span<std::uint8_t> area) : area_(area) {}

  std::int32_t count() const { return static_cast<std::int32_t>(count_); }
  bool has_room(std::size_t n) const { return n <= area_.size() - count_; }

  bool put(std::uint8_t byte) {
    if (count_ == area_.size()) return false;
    area_[count_++] = byte;
    return true;
  }

  // Copies n bytes from `distance` bytes back, one by one in increasing order, so a copy longer
  // than its distance repeats the last `distance` bytes.
  bool copy_back(std::size_t distance, std::size_t n) {
    if (distance == 0 || distance > count_ || !has_room(n)) return false;
    std::uint8_t* to = area_.data() + count_;
    const std::uint8_t* from = to - distance;
    for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    count_ += n;
    return true;
  }

  // The same without the checks, for a codec that has made sure of them: 1 <= distance <= count()
  // and has_room(n + SLACK). It copies 8 bytes at a time, and may write up to SLACK bytes past
  // the copy, which later output overwrites.
  static constexpr std::size_t SLACK = 8;
  void put_inside(std::uint8_t byte) { area_[count_++] = byte; }
  void copy_back_inside(std::size_t distance, std::size_t n) {
    std::uint8_t* to = area_.data() + count_;
    std::size_t step = distance;
    std::size_t done = 0;
    if (distance < 8) {
      // The first 8 bytes one by one; from there the bytes repeat with a period of `distance`, so
      // they can be copied 8 at a time from the first multiple of it that is 8 or more back.
      for (; done < 8; ++done) to[done] = *(to + done - distance);
      step = (8 + distance - 1) / distance * distance;
    }
    // Each 8 bytes read lie at least 8 back, so they were all written before.
    for (; done < n; done += 8) std::memcpy(to + done, to + done - step, 8);
    count_ += n;
  }

 private:
  std::span<std::uint8_t> area_;
  std::size_t count_ = 0;
};
