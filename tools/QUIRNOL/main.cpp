// QUIRNOL infile outfile offset [-p]: decodes the Enigma stream at `offset` of infile into outfile,
// or with -p into the extended 16 KB form of a special stage.
#include <cstdio>

#include "enigma/enigma.h"
#include "frame/frame.h"

namespace {

constexpr const char* USAGE_TEXT =
    "Decompresses data compressed in the Enigma compression format.\n\nQUIRNOL infile outfile offset [<options>]\ninfile:\t\tThe file that contains the compressed data.\noutfile:\tThe name of the file to create containing the decompressed\n\t\tdata.\noffset:\t\tThe location of the compressed data in the file. Can be\n\t\tprefixed by 0x or written as a regular number. All offsets in\n\t\thex.\n\n<options>\n-p\tAdd padding to file. Use if you want to convert a S1 special stage to\n\tthe form it's stored in when in a savetate.\n\n";
constexpr const char* OPEN_FAILURE_TEXT = "\n\nInvalid rom filename!";
constexpr const char* PROGRESS_TEXT = "Decompressing file....\t";
constexpr const char* DONE_TEXT = "Done!\n\n";
constexpr const char* ERROR_TEXT = "Error!\n\n";
constexpr const char* REPORT_EXTRACTED = "Archive in %s successfully extracted to file %s.\n\n";
constexpr const char* REPORT_COMPRESSED = "Compressed file size:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_UNCOMPRESSED = "Uncompressed file size:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_LOCATION = "Location in file:\t\t0x%X - 0x%X\n";
constexpr const char* REPORT_RATE = "Compression rate:\t\t%.2f%%\n\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::printf("%s", USAGE_TEXT);
    return EXIT_FAILED;
  }
  const char* infile = argv[1];
  const char* outfile = argv[2];
  // Only the fourth argument can be an option.
  const bool special_stage = argc > 4 && option_given(std::span(argv + 4, 1), "-p");

  const std::optional<InputImage> image = load_input_image(infile);
  if (!image) {
    std::printf("%s", OPEN_FAILURE_TEXT);
    return EXIT_FAILED;
  }
  OutputArea output(ENIGMA_OUTPUT_SIZE);
  if (!output.allocated()) {
    std::printf("%s", NO_MEMORY_TEXT);
    return EXIT_FAILED;
  }
  const std::int32_t offset = parse_offset_argument(argv[3]);

  std::printf("%s", PROGRESS_TEXT);
  std::fflush(stdout);
  const EnigmaDecodeResult result = enigma_decode(*image, offset, output.bytes());
  if (result.status != EnigmaStatus::finished) {
    std::printf("%s", ERROR_TEXT);
    if (result.status == EnigmaStatus::outside_input) {
      print_outside_input(result.error_position);
    } else {
      print_output_full(ENIGMA_OUTPUT_SIZE, result.error_position);
    }
    return EXIT_FAILED;
  }

  std::optional<OutputFile> file = create_output_file(outfile);
  bool written = file.has_value();
  if (written) {
    written = special_stage
                  ? pad_special_stage(*file, output.bytes())
                  : file->write(std::span(output.data(), static_cast<std::size_t>(result.decoded_size)));
  }
  const auto file_length = written ? static_cast<std::int32_t>(file->written()) : 0;
  if (!written || !file->close()) {
    std::printf("%s", ERROR_TEXT);
    print_output_failure(outfile);
    return EXIT_FAILED;
  }

  const std::int32_t compressed = result.end_position - offset;
  std::printf("%s", DONE_TEXT);
  std::printf(REPORT_EXTRACTED, infile, outfile);
  print_size_line(REPORT_COMPRESSED, compressed);
  print_size_line(REPORT_UNCOMPRESSED, file_length);
  print_location_line(REPORT_LOCATION, offset, result.end_position);
  // The compressed count is held in single precision, as the report has always computed it.
  print_rate_line(REPORT_RATE, static_cast<float>(compressed), file_length);
  return EXIT_DONE;
}
