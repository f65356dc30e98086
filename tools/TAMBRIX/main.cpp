// TAMBRIX infile outfile offset: decodes the Kozinski archive at `offset` of infile into outfile.
#include <cstdio>

#include "frame/frame.h"
#include "kozinski/kozinski.h"

namespace {

constexpr const char* USAGE_TEXT =
    "Decompresses an archive compressed using the Kozinski compression format.\n\nTAMBRIX infile outfile offset\ninfile:\t\tThe name of the file containing the archive.\noutfile:\tThe name of the file to create containing the extracted data.\noffset:\t\tThe location of the archive in the source file.\n\n";
constexpr const char* OPEN_FAILURE_TEXT = "\n\nInvalid rom filename!";
constexpr const char* PROGRESS_TEXT = "Decompressing archive....\t";
constexpr const char* ERROR_TEXT = "Error!\n\n";
constexpr const char* SHORT_COPY_ERROR_TEXT = "Invalid offset encounted in mode 00 tag at 0x%X\n\n";
constexpr const char* LONG_COPY_ERROR_TEXT = "Invalid offset encounted in mode 01 tag at 0x%X\n\n";
constexpr const char* DONE_TEXT = "Done!\n\n";
constexpr const char* REPORT_EXTRACTED = "Archive in %s successfully extracted to file %s.\n\n";
constexpr const char* REPORT_COMPRESSED = "Compressed filesize:\t0x%X\t\t%i\n";
constexpr const char* REPORT_UNCOMPRESSED = "Uncompressed filesize:\t0x%X\t\t%i\n";
constexpr const char* REPORT_LOCATION = "Location of archive:\t0x%X - 0x%X\n";
constexpr const char* REPORT_RATE = "Compression rate:\t%.2f%%\n\n";

// Completes the progress line with "Error!" and says what stopped the decoder.
void print_decode_error(const KozinskiResult& result) {
  std::printf("%s", ERROR_TEXT);
  const auto position = static_cast<unsigned>(result.error_position);
  switch (result.status) {
    case KozinskiStatus::invalid_short_copy_offset: std::printf(SHORT_COPY_ERROR_TEXT, position); break;
    case KozinskiStatus::invalid_long_copy_offset: std::printf(LONG_COPY_ERROR_TEXT, position); break;
    case KozinskiStatus::outside_input: print_outside_input(result.error_position); break;
    case KozinskiStatus::output_full: print_output_full(KOZINSKI_OUTPUT_SIZE, result.error_position); break;
    case KozinskiStatus::finished: break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::printf("%s", USAGE_TEXT);
    return EXIT_FAILED;
  }
  const char* infile = argv[1];
  const char* outfile = argv[2];
  const std::int32_t start = parse_offset_argument(argv[3]);

  const std::optional<InputImage> image = load_input_image(infile);
  if (!image) {
    std::printf("%s", OPEN_FAILURE_TEXT);
    return EXIT_FAILED;
  }
  OutputArea output(KOZINSKI_OUTPUT_SIZE);
  if (!output.allocated()) {
    std::printf("%s", NO_MEMORY_TEXT);
    return EXIT_FAILED;
  }

  std::printf("%s", PROGRESS_TEXT);
  std::fflush(stdout);
  const KozinskiResult result = decode_kozinski(*image, start, output.bytes());
  if (result.status != KozinskiStatus::finished) {
    print_decode_error(result);
    return EXIT_FAILED;
  }

  const std::span<const std::uint8_t> decoded(output.data(),
                                              static_cast<std::size_t>(result.decoded_length));
  if (!write_output_file(outfile, {decoded})) {
    std::printf("%s", ERROR_TEXT);
    print_output_failure(outfile);
    return EXIT_FAILED;
  }

  const std::int32_t compressed = result.end_position - start;
  std::printf("%s", DONE_TEXT);
  std::printf(REPORT_EXTRACTED, infile, outfile);
  print_size_line(REPORT_COMPRESSED, compressed);
  print_size_line(REPORT_UNCOMPRESSED, result.decoded_length);
  print_location_line(REPORT_LOCATION, start, result.end_position);
  print_rate_line(REPORT_RATE, compressed, result.decoded_length);
  return EXIT_DONE;
}
