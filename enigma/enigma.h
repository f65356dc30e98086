// Enigma: a stream of 16-bit words (plane maps, special stage layouts).
//
// A stream is a 6-byte header and a bit stream read from the most significant bit of each byte:
//   byte 0     inline_bits: low bits stored for each inline value
//   byte 1     flag_mask: bit k set means word bit 11 + k is stored as a flag bit (bits 5-7 unused)
//   bytes 2-3  increment_word, big-endian: start of the incrementing word
//   bytes 4-5  common_word, big-endian
// Packets: a head of 2 bits (first bit 0) or 3 bits (first bit 1), then a 4-bit count field; the
// packet makes n = count + 1 words.
//   00   the incrementing word, n times, rising by one each time (it carries across packets)
//   01   common_word, n times
//   100  one inline value v, n times
//   101  one inline value v, then v + 1, ... (n words)
//   110  one inline value v, then v - 1, ... (n words)
//   111  n inline values, each once (count 0 to 14); count 15 is the end code
// An inline value is its flag bits (word bit 15 first, only those flag_mask selects) followed by
// inline_bits low bits; the value is (flags + low) modulo 0x10000. Words are written high byte
// first.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "frame/input_image.h"

inline constexpr std::int32_t ENIGMA_OUTPUT_SIZE = 0x100000;

struct EnigmaHeader {
  std::uint8_t inline_bits = 0;
  std::uint8_t flag_mask = 0;
  std::uint16_t increment_word = 0;
  std::uint16_t common_word = 0;
};

// The bits fetched from the stream but not yet read. The format fetches bytes one at a time: two
// at the start; after every packet head and every inline value when 8 or fewer bits are unread;
// and in the middle of an inline value when it needs a bit and none is unread. So at least 8 bits
// are unread before every packet head, and after each of those fetch points 9 to 16 are: the
// window has then fetched exactly floor(B / 8) + 2 bytes of a stream of which B bits were read.
// That is all the fetching decides, so the window reads the stream as a bit cursor and works its
// position out from B; after the end code it is offset + 8 + floor(B / 8).
//
// Fetched bytes are look-ahead: only a byte one of whose bits is read counts as consumed, so a
// stream that ends at the last byte of its file decodes although the window looks past it.
class BitWindow {
 public:
  BitWindow(InputReader& input, std::int64_t stream_start)
      : input_(input), stream_(input.image(), stream_start), stream_start_(stream_start),
        first_unconsumed_(stream_start) {}

  // The next n bits (1 to 25).
  unsigned read(int n) {
    const unsigned bits = stream_.peek32(bits_read_) >> (32 - n);
    bits_read_ += n;
    return bits;
  }
  // The next 3 bits, left unread.
  unsigned peek3() { return stream_.peek32(bits_read_) >> 29; }
  unsigned read_bit() { return read(1); }

  // A fetch point: the bits read so far count as consumed (the input reader notes one outside the
  // image), and position() stands where the format's fetching puts it.
  void refill() {
    if (bits_read_ == 0) return;
    const std::int64_t last = stream_.byte_of(bits_read_ - 1);
    input_.consume(first_unconsumed_, last + 1 - first_unconsumed_);
    first_unconsumed_ = last + 1;
  }
  std::int64_t position() const { return stream_start_ + 2 + bits_read_ / 8; }

 private:
  InputReader& input_;
  MsbBitStream stream_;
  std::int64_t stream_start_;
  std::int64_t bits_read_ = 0;  // B
  std::int64_t first_unconsumed_;
};

// Reads an inline value: the flag bits flag_mask selects, then inline_bits low bits.
std::uint16_t read_inline_value(BitWindow& window, const EnigmaHeader& header);

enum class EnigmaStatus {
  finished,
  outside_input,  // a byte the stream consumes lies outside the input image
  output_full,    // the stream decodes to more than the output area holds
};

struct EnigmaDecodeResult {
  EnigmaStatus status = EnigmaStatus::finished;
  std::int32_t decoded_size = 0;  // bytes written, twice the words
  std::int32_t end_position = 0;  // the window's position after the end code
  // The first consumed position outside the input; or where decoding stopped for a full area.
  std::int32_t error_position = 0;
};

// Decodes the stream whose header is at `offset` into `output` (ENIGMA_OUTPUT_SIZE bytes).
EnigmaDecodeResult enigma_decode(const InputImage& image, std::int32_t offset,
                                 std::span<std::uint8_t> output);

// ---- Encoding ----
//
// The encoder works greedily over the words (big-endian pairs of `data`; a last odd byte is not a
// word and is not encoded): at each position it measures the runs below, takes the first packet
// kind whose rule applies, emits it and moves past its words. Runs stop at 16 words (a list at 15)
// and at the end of the data. "As signed numbers" means the words are taken as signed 16-bit values
// and compared without wrapping, so 0x7FFF + 1 matches no word while 0xFFFF + 1 matches 0x0000.
//   1. incrementing run > 0            incrementing copy
//   2. common run > 0                  common copy
//   3. repeat > ascending, descending  inline repeat
//   4. ascending > descending          inline ascending
//   5. descending > 1                  inline descending
//   6. otherwise                       inline list of the list run

struct RunMeasures {
  std::int32_t incrementing_run = 0;  // w_k = incrementing word + k, as signed numbers
  std::int32_t common_run = 0;        // w_k = common_word
  std::int32_t repeat_run = 0;        // w_k = w_0
  std::int32_t ascending_run = 0;     // w_k = w_0 + k, as signed numbers
  std::int32_t descending_run = 0;    // w_k = w_0 - k, as signed numbers
  // Words that are neither common_word nor the current incrementing word and whose successor is
  // neither equal to them nor one more or less (as signed numbers); the last word has no successor.
  std::int32_t list_run = 0;
};

// The runs at word index `word` of `words` words.
RunMeasures measure_runs(std::span<const std::uint8_t> data, std::int32_t word, std::uint16_t incrementing_word,
                         std::uint16_t common_word);

struct WordBits {
  std::uint8_t inline_bits = 1;  // bit length of the words' bits 0-10 ORed, at least 1
  std::uint8_t flag_mask = 0;    // the word bits 11-15 any word uses, as bits 0-4
};
WordBits scan_word_bits(std::span<const std::uint8_t> data);

struct CommonAndIncrement {
  std::uint16_t common_word = 0;     // the word found most often
  std::uint16_t increment_word = 0;  // the v with the longest chain v, v + 1, ... in order
};
// Both by the smallest value on a tie, and 0 for no words. chain(v) counts the words met, in order,
// that equal an expected value starting at v and rising by one (modulo 0x10000) at each match.
CommonAndIncrement choose_common_and_increment(std::span<const std::uint8_t> data);

// Collects bits, most significant first, into bytes appended to `out`.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void put_bit(unsigned bit) {
    byte_ = static_cast<std::uint8_t>(byte_ << 1 | (bit & 1u));
    if (++count_ == 8) {
      out_.push_back(byte_);
      count_ = 0;
    }
  }
  void put_bits(unsigned value, int width) {
    for (int i = width; i-- > 0;) put_bit(value >> i);
  }
  // The byte under construction with its bits at the top; sent even when empty.
  void finish() {
    out_.push_back(static_cast<std::uint8_t>(byte_ << (8 - count_)));
    byte_ = 0;
    count_ = 0;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint8_t byte_ = 0;
  int count_ = 0;  // 0 to 7
};

// The flag bits flag_mask selects (word bit 15 first), then inline_bits low bits.
void write_inline_value(BitWriter& writer, const EnigmaHeader& header, std::uint16_t word);

// Appends the stream for the words of `data` to `out`: the header, the packets, the end code and
// the final byte. Its length is 6 + floor(B / 8) + 1 for a bit stream of B bits.
void enigma_encode(std::span<const std::uint8_t> data, const EnigmaHeader& header, std::vector<std::uint8_t>& out);

// The whole encoding in one call: the header bits and values worked out from the data, then
// enigma_encode.
void enigma_compress(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);

// The extended 16 KB form of a special stage: 4096 zero bytes; 64 rows of 128 bytes, each 32 zero
// bytes, 64 data bytes and 32 zero bytes; 4096 zero bytes. The data bytes are the first 4096 bytes
// of a decoded stream, 64 to a row.
struct SpecialStageForm {
  static constexpr std::size_t SIZE = 0x4000;
  static constexpr std::size_t ZERO_BLOCK = 0x1000;
  static constexpr std::size_t ROWS = 64;
  static constexpr std::size_t ROW_SIZE = 128;
  static constexpr std::size_t ROW_MARGIN = 32;
  static constexpr std::size_t ROW_DATA = 64;
  static constexpr std::size_t DATA_SIZE = ROWS * ROW_DATA;  // 4096
};

inline constexpr std::array<std::uint8_t, SpecialStageForm::ZERO_BLOCK> SPECIAL_STAGE_ZEROS{};

// Writes the form to `sink` (anything with bool write(std::span<const std::uint8_t>)) from the
// first 4096 bytes of `area`: one write of the leading zero block, three per row, one of the
// trailing block. False as soon as a write fails.
template <typename Sink>
bool pad_special_stage(Sink& sink, std::span<const std::uint8_t> area) {
  using Bytes = std::span<const std::uint8_t>;
  const Bytes zeros(SPECIAL_STAGE_ZEROS);
  if (!sink.write(zeros)) return false;
  for (std::size_t row = 0; row < SpecialStageForm::ROWS; ++row) {
    if (!sink.write(zeros.first(SpecialStageForm::ROW_MARGIN)) ||
        !sink.write(area.subspan(row * SpecialStageForm::ROW_DATA, SpecialStageForm::ROW_DATA)) ||
        !sink.write(zeros.first(SpecialStageForm::ROW_MARGIN))) {
      return false;
    }
  }
  return sink.write(zeros);
}

// The 4096 data bytes of a form: file offsets 4096 + 128 r + 32 to + 95 for the rows r. What lies
// past the end of `form` reads as zero.
std::array<std::uint8_t, SpecialStageForm::DATA_SIZE> strip_special_stage(std::span<const std::uint8_t> form);
