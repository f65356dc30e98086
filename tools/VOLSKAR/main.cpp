// VOLSKAR infile outfile [-p]: compresses a file of 16-bit big-endian words into an Enigma stream;
// with -p the words are the 4096 data bytes of a special stage in its extended 16 KB form.
#include <cstdio>
#include <string_view>
#include <vector>

#include "enigma/enigma.h"
#include "frame/frame.h"

namespace {

constexpr const char* USAGE_TEXT =
    "Compresses a file using the Engima compression format.\n\nVOLSKAR infile outfile [<options>]\ninfile:\t\tThe file that contains the uncompressed level.\noutfile:\tThe name of the file to create containing the compressed level.\n\n<options>\n-p\tStrip padding from file. Use if compressing a special stage that's in\n\tthe extended 16kb form.\n\n";
constexpr const char* OPEN_FAILURE_TEXT = "\n\nError opening source file!";
constexpr const char* ANALYSIS_PROGRESS_TEXT = "Calculating common and increment values......";
constexpr const char* ANALYSIS_DONE_TEXT = "\tDone!\n";
constexpr const char* COMPRESS_PROGRESS_TEXT = "Compressing file......";
constexpr const char* COMPRESS_DONE_TEXT = "\t\t\t\tDone!\n\n";
constexpr const char* REPORT_COMPRESSED_INTO = "%s successfully compressed into file %s\n\n";
constexpr const char* REPORT_ORIGINAL = "Original filesize:\t0x%X\t\t%i\n";
constexpr const char* REPORT_COMPRESSED = "Compressed filesize:\t0x%X\t\t%i\n";
constexpr const char* REPORT_RATE = "Compression rate:\t%.2f%%\n\n";

// Failures the format itself does not name.
constexpr const char* ODD_LENGTH_TEXT =
    "\n\nThe source file holds %i bytes, an odd number: it is not a file of 16-bit words.\n\n";
constexpr const char* COMPRESS_ERROR_TEXT = "\t\t\t\tError!\n\n";

// "-p" with case ignored.
bool is_padding_option(std::string_view argument) {
  return argument.size() == 2 && argument[0] == '-' && (argument[1] == 'p' || argument[1] == 'P');
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("%s", USAGE_TEXT);
    return EXIT_FAILED;
  }
  const char* infile = argv[1];
  const char* outfile = argv[2];
  const bool special_stage = argc > 3 && is_padding_option(argv[3]);

  // The source is read whole before the output is created, so that compressing a file onto
  // itself cannot lose the words before they are read.
  const std::optional<InputImage> image = load_input_image(infile);
  if (!image) {
    std::printf("%s", OPEN_FAILURE_TEXT);
    return EXIT_FAILED;
  }
  if (!special_stage && image->length % 2 != 0) {
    std::printf(ODD_LENGTH_TEXT, image->length);
    return EXIT_FAILED;
  }
  std::optional<OutputFile> file = create_output_file(outfile);

  std::array<std::uint8_t, SpecialStageForm::DATA_SIZE> stripped{};
  std::span<const std::uint8_t> data = image->bytes();
  if (special_stage) {
    stripped = strip_special_stage(image->bytes());
    data = stripped;
  }

  const WordBits bits = scan_word_bits(data);
  std::printf("%s", ANALYSIS_PROGRESS_TEXT);
  std::fflush(stdout);
  const CommonAndIncrement values = choose_common_and_increment(data);
  std::printf("%s", ANALYSIS_DONE_TEXT);

  std::printf("%s", COMPRESS_PROGRESS_TEXT);
  std::fflush(stdout);
  const EnigmaHeader header{bits.inline_bits, bits.flag_mask, values.increment_word, values.common_word};
  std::vector<std::uint8_t> stream;
  stream.reserve(data.size() + 16);
  enigma_encode(data, header, stream);
  const bool written = file && file->write(stream) && file->close();
  if (!written) {
    std::printf("%s", COMPRESS_ERROR_TEXT);
    print_output_failure(outfile);
    return EXIT_FAILED;
  }
  std::printf("%s", COMPRESS_DONE_TEXT);

  const auto original = static_cast<std::int32_t>(data.size());
  const auto compressed = static_cast<std::int32_t>(stream.size());
  std::printf(REPORT_COMPRESSED_INTO, infile, outfile);
  print_size_line(REPORT_ORIGINAL, original);
  print_size_line(REPORT_COMPRESSED, compressed);
  print_rate_line(REPORT_RATE, compressed, original);
  return EXIT_DONE;
}
