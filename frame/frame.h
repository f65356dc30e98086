// The tool frame: what every program of the suite shares. The offset argument, loading the input
// image, option matching, output files that are either written whole or not left behind, the block
// of zero bytes the padding options write, and the report lines with the compression rate.
//
// Every text goes to standard output through the printf family; nothing goes to standard error.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "input_image.h"

// Exit statuses of every program.
inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_FAILED = -1;

// Offsets are hexadecimal, with or without a "0x" prefix (lower-case x only, and only as the
// second character). Nothing is validated: each character contributes (ch & 0x0F), plus 9 for
// the letter rows 0x40 and 0x60, and the value keeps its low 32 bits.
std::int32_t parse_offset_argument(std::string_view argument);

// Reads a whole file into memory. Fails only when the file can't be opened and read (a missing
// file, a directory, a file of MAX_INPUT_LENGTH bytes or more). Game images are a few megabytes; the
// limit keeps every position a codec computes, a few bytes past the end included, inside 32 bits.
inline constexpr std::int32_t MAX_INPUT_LENGTH = 0x40000000;
std::optional<InputImage> load_input_image(const char* path);

// True when any of the arguments is exactly `option` (case-sensitive, whole argument).
bool option_given(std::span<char* const> arguments, std::string_view option);

// A codec's output area: a fixed number of zero bytes, allocated once. It comes from calloc, so
// the pages a codec never writes are never touched (a 16 MiB area costs nothing up front).
class OutputArea {
 public:
  explicit OutputArea(std::size_t size);
  ~OutputArea();
  OutputArea(const OutputArea&) = delete;
  OutputArea& operator=(const OutputArea&) = delete;

  // False when the memory could not be had; the area is then empty.
  bool allocated() const { return bytes_ != nullptr || size_ == 0; }
  std::span<std::uint8_t> bytes() { return {bytes_, bytes_ != nullptr ? size_ : 0}; }
  std::uint8_t* data() { return bytes_; }

 private:
  std::uint8_t* bytes_;
  std::size_t size_;
};

// What a program prints, then ending with -1, when its output area can't be allocated.
inline constexpr const char* NO_MEMORY_TEXT = "There is not enough memory for the output area.\n\n";

// The 8192 zero bytes that the padding options write ahead of an output file's data.
struct PaddingBlock {
  static constexpr std::size_t SIZE = 0x2000;
  std::array<std::uint8_t, SIZE> bytes{};
};

// An output file being written. Writes are checked; close() reports whether every byte reached
// the file. A file that could not be written whole is removed (when it is a regular file), so a
// failed run never leaves a truncated file under the output name. A file dropped without close()
// is removed the same way.
class OutputFile {
 public:
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  ~OutputFile();

  // One write of a whole block; false once any write has failed.
  bool write(std::span<const std::uint8_t> block);
  // Bytes written so far (the file's current position).
  std::int64_t written() const { return written_; }
  // Flushes and closes; false, with the file removed, if anything failed.
  bool close();

 private:
  friend std::optional<OutputFile> create_output_file(const char* path);
  OutputFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  void discard();

  std::FILE* file_;
  std::string path_;
  std::int64_t written_ = 0;
  bool failed_ = false;
};

// Creates the file, or truncates it if it exists, for writing in binary mode.
std::optional<OutputFile> create_output_file(const char* path);

// Creates `path` and writes the blocks to it in order, one write each; true if the whole file was
// written and closed.
bool write_output_file(const char* path, std::initializer_list<std::span<const std::uint8_t>> blocks);

// The text a decoding program prints, after "Error!\n\n", when an archive needs a byte that is not
// in the input file; it names the first such position.
inline constexpr const char* OUTSIDE_INPUT_TEXT =
    "The archive runs outside the file: the byte at 0x%X is not in it.\n\n";
void print_outside_input(std::int64_t position);

// The text a decoding program prints, after "Error!\n\n", when an archive would decode to more
// bytes than its output area holds; it names the area's size and where decoding stopped.
inline constexpr const char* OUTPUT_FULL_TEXT =
    "The archive decodes to more than 0x%X bytes; stopped at 0x%X.\n\n";
void print_output_full(std::int32_t capacity, std::int64_t position);

// The line a program prints when an output file could not be created or written, naming it.
inline constexpr const char* OUTPUT_FAILURE_TEXT = "Could not write the output file %s.\n\n";
void print_output_failure(const char* path);

// 100 - compressed / uncompressed * 100, in double precision.
double compression_rate(double compressed, double uncompressed);

// Report lines. A size line's format takes its value twice ("0x%X" and "%i"); a location line's
// takes the start offset and the end position; a rate line's holds "%.2f%%" for the rate.
void print_size_line(const char* format, std::int32_t value);
// The same for a total that can pass 32 bits: printed in full, with the format's "0x%X" and "%i"
// widened to 64 bits.
void print_size_line(const char* format, std::int64_t value);
void print_location_line(const char* format, std::int32_t start, std::int32_t end);
// Over an uncompressed size of 0 the rate has no value: RATE_UNDEFINED_TEXT stands in place of
// the number and its percent sign, the rest of the line unchanged.
inline constexpr const char* RATE_UNDEFINED_TEXT = "n/a";
void print_rate_line(const char* format, double compressed, double uncompressed);
