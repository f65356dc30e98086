// The input image: a whole input file in memory, and the one reader through which every codec
// reads it.
//
// A codec never indexes the image directly. It reads through an InputReader, which yields zero for
// any position outside the image (before its first byte or at and past its length) and remembers
// the first such position whose byte the codec actually consumed. Bytes fetched only as look-ahead
// (a bit window filled ahead of need, a descriptor field none of whose bits is used) are read with
// look() and never count; a codec that uses them says so with consume(). The decision "this stream
// ran outside the file" is therefore made in one place: ran_outside().
#pragma once

#include <cstddef>
#include <cstdint>
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

  // The byte at `index` without consuming it; zero outside the image.
  std::uint8_t look(std::int64_t index) const {
    return inside(index) ? image_[static_cast<std::size_t>(index)] : 0;
  }

  // Records that the bytes [index, index + count) are part of the stream.
  void consume(std::int64_t index, std::int64_t count = 1) {
    for (std::int64_t i = index; i < index + count; ++i) {
      if (!inside(i)) {
        note_outside(i);
        return;
      }
    }
  }

  // The byte at the position, consumed; the position advances by one.
  std::uint8_t take() {
    const std::int64_t index = position_++;
    if (inside(index)) return image_[static_cast<std::size_t>(index)];
    note_outside(index);
    return 0;
  }

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

 private:
  std::span<std::uint8_t> area_;
  std::size_t count_ = 0;
};
