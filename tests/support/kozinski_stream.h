// Test-only writer of Kozinski streams: packets go in as calls, and the descriptor fields are
// interleaved with the data bytes exactly where the decoder reads them (a new field is placed the
// moment the previous one's 16th bit is written).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class KozinskiStreamBuilder {
 public:
  KozinskiStreamBuilder() { open_field(); }

  // Code 1 and the byte.
  KozinskiStreamBuilder& literal(std::uint8_t byte) {
    bit(1);
    data(byte);
    return *this;
  }
  KozinskiStreamBuilder& literals(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) literal(byte);
    return *this;
  }
  // Code 0 0 h l and b = 256 - distance: copies 2 to 5 bytes from 1 to 256 bytes back.
  KozinskiStreamBuilder& short_copy(int count, int distance) {
    const int n = count - 2;
    bit(0).bit(0).bit((n >> 1) & 1).bit(n & 1);
    data(static_cast<std::uint8_t>(256 - distance));
    return *this;
  }
  // Code 0 1, b0 and b1 with the count field k: copies k + 2 bytes (k from 1 to 7).
  KozinskiStreamBuilder& long_copy(int count, int distance) {
    return long_packet(distance, count - 2);
  }
  // Code 0 1 with k = 0 and b2 = count - 1: copies 3 to 256 bytes.
  KozinskiStreamBuilder& long_copy_extended(int count, int distance) {
    long_packet(distance, 0);
    data(static_cast<std::uint8_t>(count - 1));
    return *this;
  }
  // Code 0 1 with k = 0 and b2 = 1: nothing copied.
  KozinskiStreamBuilder& no_copy(int distance = 1) {
    long_packet(distance, 0);
    data(1);
    return *this;
  }
  // The end packet: code 0 1, b0 = FF, b1 = F8 (offset -1, k = 0), b2 = 0.
  KozinskiStreamBuilder& end() {
    long_packet(1, 0);
    data(0);
    return *this;
  }

  // Raw pieces, for streams the packet calls can't express.
  KozinskiStreamBuilder& bit(unsigned value) {
    if (value != 0) {
      stream_[field_position_] |= static_cast<std::uint8_t>(1u << (bits_used_ & 7));
    }
    // The low byte takes bits 0 to 7, the high byte bits 8 to 15.
    if (++bits_used_ == 8) ++field_position_;
    if (bits_used_ == 16) open_field();
    return *this;
  }
  KozinskiStreamBuilder& data(std::uint8_t byte) {
    stream_.push_back(byte);
    return *this;
  }

  const std::vector<std::uint8_t>& bytes() const { return stream_; }

 private:
  KozinskiStreamBuilder& long_packet(int distance, int k) {
    const int v = 8192 - distance;
    bit(0).bit(1);
    data(static_cast<std::uint8_t>(v & 0xFF));
    data(static_cast<std::uint8_t>(((v >> 5) & 0xF8) | k));
    return *this;
  }
  void open_field() {
    field_position_ = stream_.size();
    bits_used_ = 0;
    stream_.push_back(0);
    stream_.push_back(0);
  }

  std::vector<std::uint8_t> stream_;
  std::size_t field_position_ = 0;  // the byte of the open field that takes the next bit
  int bits_used_ = 0;
};

// A plain greedy compressor built on the writer, for fixtures and sample data: the longest match
// within 8192 bytes back, as a short copy when it fits one, else a long copy.
inline std::vector<std::uint8_t> compress_kozinski(std::span<const std::uint8_t> data) {
  KozinskiStreamBuilder stream;
  std::size_t at = 0;
  while (at < data.size()) {
    std::size_t best_count = 0;
    std::size_t best_distance = 0;
    const std::size_t window = at < 8192 ? at : 8192;
    for (std::size_t distance = 1; distance <= window; ++distance) {
      std::size_t n = 0;
      while (n < 256 && at + n < data.size() && data[at + n] == data[at + n - distance]) ++n;
      if (n > best_count) {
        best_count = n;
        best_distance = distance;
        if (n == 256) break;
      }
    }
    const int count = static_cast<int>(best_count);
    const int distance = static_cast<int>(best_distance);
    if (count >= 2 && count <= 5 && distance <= 256) {
      stream.short_copy(count, distance);
    } else if (count >= 3 && count <= 9) {
      stream.long_copy(count, distance);
    } else if (count >= 10) {
      stream.long_copy_extended(count, distance);
    } else {
      stream.literal(data[at]);
      best_count = 1;
    }
    at += best_count;
  }
  stream.end();
  return stream.bytes();
}
