#include "frame.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

std::int32_t parse_offset_argument(std::string_view argument) {
  // "0x" is a prefix only when x is the second character; the first is then not looked at.
  std::size_t first_digit = (argument.size() >= 2 && argument[1] == 'x') ? 2 : 0;
  std::uint32_t value = 0;
  for (std::size_t i = first_digit; i < argument.size(); ++i) {
    const auto ch = static_cast<unsigned char>(argument[i]);
    std::uint32_t digit = ch & 0x0F;
    if ((ch & 0xF0) == 0x40 || (ch & 0xF0) == 0x60) digit += 9;
    value = (value << 4) | digit;
  }
  return static_cast<std::int32_t>(value);
}

std::optional<InputImage> load_input_image(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return std::nullopt;
  InputImage image;
  struct stat status {};
  bool loaded = fstat(fileno(file), &status) == 0 && !S_ISDIR(status.st_mode);
  if (loaded && S_ISREG(status.st_mode)) {
    // A regular file: its length, then the whole of it in one read. A short read leaves zeros.
    if (status.st_size >= MAX_INPUT_LENGTH) {
      loaded = false;
    } else {
      image.data.assign(static_cast<std::size_t>(status.st_size), 0);
      if (!image.data.empty()) {
        (void)std::fread(image.data.data(), 1, image.data.size(), file);
      }
    }
  } else if (loaded) {
    // A pipe or a device has no length to take: read it to its end.
    std::array<std::uint8_t, 65536> chunk;
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
      if (image.data.size() + got >= static_cast<std::size_t>(MAX_INPUT_LENGTH)) {
        loaded = false;
        break;
      }
      image.data.insert(image.data.end(), chunk.begin(), chunk.begin() + static_cast<long>(got));
    }
  }
  std::fclose(file);
  if (!loaded) return std::nullopt;
  image.length = static_cast<std::int32_t>(image.data.size());
  return image;
}

bool option_given(std::span<char* const> arguments, std::string_view option) {
  for (const char* argument : arguments) {
    if (option == argument) return true;
  }
  return false;
}

OutputArea::OutputArea(std::size_t size)
    : bytes_(size > 0 ? static_cast<std::uint8_t*>(std::calloc(size, 1)) : nullptr), size_(size) {}

OutputArea::~OutputArea() { std::free(bytes_); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(other.file_),
      path_(std::move(other.path_)),
      written_(other.written_),
      failed_(other.failed_) {
  other.file_ = nullptr;
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) discard();
}

bool OutputFile::write(std::span<const std::uint8_t> block) {
  if (failed_ || file_ == nullptr) return false;
  if (!block.empty() && std::fwrite(block.data(), 1, block.size(), file_) != block.size()) {
    failed_ = true;
    return false;
  }
  written_ += static_cast<std::int64_t>(block.size());
  return true;
}

bool OutputFile::close() {
  if (file_ == nullptr) return !failed_;
  if (failed_ || std::fflush(file_) != 0) {
    discard();
    return false;
  }
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) {
    failed_ = true;
    std::error_code error;
    if (std::filesystem::is_regular_file(path_, error)) std::filesystem::remove(path_, error);
  }
  return closed;
}

void OutputFile::discard() {
  std::fclose(file_);
  file_ = nullptr;
  failed_ = true;
  // Only a regular file is removed: a device or a pipe given as output is left alone.
  std::error_code error;
  if (std::filesystem::is_regular_file(path_, error)) std::filesystem::remove(path_, error);
}

std::optional<OutputFile> create_output_file(const char* path) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return std::nullopt;
  return OutputFile(file, path);
}

bool write_output_file(const char* path,
                       std::initializer_list<std::span<const std::uint8_t>> blocks) {
  std::optional<OutputFile> file = create_output_file(path);
  if (!file) return false;
  for (std::span<const std::uint8_t> block : blocks) {
    if (!file->write(block)) break;
  }
  return file->close();
}

void print_outside_input(std::int64_t position) {
  std::printf(OUTSIDE_INPUT_TEXT, static_cast<unsigned>(position));
}

void print_output_full(std::int32_t capacity, std::int64_t position) {
  std::printf(OUTPUT_FULL_TEXT, static_cast<unsigned>(capacity), static_cast<unsigned>(position));
}

void print_output_failure(const char* path) { std::printf(OUTPUT_FAILURE_TEXT, path); }

double compression_rate(double compressed, double uncompressed) {
  return 100.0 - compressed / uncompressed * 100.0;
}

void print_size_line(const char* format, std::int32_t value) {
  std::printf(format, static_cast<unsigned>(value), value);
}

void print_size_line(const char* format, std::int64_t value) {
  std::string wide;
  for (const char* at = format; *at != '\0'; ++at) {
    wide += *at;
    if (*at == '%' && (at[1] == 'X' || at[1] == 'i')) wide += "ll";
    if (*at == '%' && at[1] == '%') wide += *++at;
  }
  std::printf(wide.c_str(), static_cast<unsigned long long>(value), static_cast<long long>(value));
}

void print_location_line(const char* format, std::int32_t start, std::int32_t end) {
  std::printf(format, static_cast<unsigned>(start), static_cast<unsigned>(end));
}

void print_rate_line(const char* format, double compressed, double uncompressed) {
  if (uncompressed != 0) {
    std::printf(format, compression_rate(compressed, uncompressed));
    return;
  }
  // The rate's conversion "%.2f%%" gives way to the fixed text; the label and the line breaks
  // around it stay as the format has them.
  const std::string_view line = format;
  const std::string_view conversion = "%.2f%%";
  const std::size_t at = line.find(conversion);
  if (at == std::string_view::npos) {
    std::fputs(format, stdout);
    return;
  }
  const std::string_view before = line.substr(0, at);
  const std::string_view after = line.substr(at + conversion.size());
  std::printf("%.*s%s%.*s", static_cast<int>(before.size()), before.data(), RATE_UNDEFINED_TEXT,
              static_cast<int>(after.size()), after.data());
}
