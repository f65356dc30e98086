// BRATHUSK infile [-n] [-p]: finds every Nemesis archive of infile by trial decoding and extracts
// each into a folder named after infile, as OFFSET.smd.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "frame/frame.h"
#include "nemesis/nemesis.h"

namespace {

constexpr const char* USAGE_TEXT =
    "Searches the specified file for all potential archives compressed with the\nNemesis compression algorithm.\n\nBRATHUSK infile [<options>]\ninfile:\tThe name of the file to search through.\n\n<options>\n-n\tDon't perform the test to see if the Nemesis compression algorithm\n\tappears to be used in the specified file. Use this option if the file\n\tyou are scanning is not a complete rom.\n-p\tAdd padding to files. Use this to get around the access violation error\n\tin TLP.\n\n";
constexpr const char* OPEN_FAILURE_TEXT = "\n\nInvalid rom filename!";
constexpr const char* QUESTION_TEXT =
    "\nThe art compression format does not appear to be used in this rom. Continue?\n";
constexpr const char* AFTER_ANSWER_TEXT = "\n";
constexpr const char* SCANNING_TEXT = "Scanning for archives....\t\t";
constexpr const char* DONE_TEXT = "Done!\n";
constexpr const char* NONE_FOUND_TEXT = "\nNo archives located in %s\n\n";
constexpr const char* EXTRACTING_TEXT = "Extracting archives....\t\t\t";
constexpr const char* EXTRACTED_TEXT = "\n%i archives successfully extracted from %s\n\n";

// Failures the format itself does not name.
constexpr const char* ERROR_TEXT = "Error!\n\n";
constexpr const char* FOLDER_FAILURE_TEXT = "Could not create the folder %s.\n\n";

// 68000 code that unpacks the format's table entries: ANDI.W #$000F,D7; ANDI.W #$0070,D1;
// OR.W D1,D7; ANDI.W #$000F,D0; MOVE.B D0,D1.
constexpr std::array<std::uint8_t, 16> decoder_signature = {0x02, 0x47, 0x00, 0x0F, 0x02, 0x41, 0x00, 0x70,
                                                            0x8E, 0x41, 0x02, 0x40, 0x00, 0x0F, 0x12, 0x00};

constexpr std::size_t NAME_CUT = 64;
constexpr char SEPARATOR = static_cast<char>(std::filesystem::path::preferred_separator);

bool holds_signature(std::span<const std::uint8_t> image) {
  return std::search(image.begin(), image.end(), decoder_signature.begin(), decoder_signature.end()) != image.end();
}

// "." + separator + the input name up to its first '.' (at most 64 characters) + separator.
std::string output_directory(std::string_view infile) {
  const std::size_t cut = std::min({infile.find('.'), infile.size(), NAME_CUT});
  return std::string(".") + SEPARATOR + std::string(infile.substr(0, cut)) + SEPARATOR;
}

// The offset as 8 upper-case hexadecimal digits.
std::string format_hex_name(std::int32_t offset) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(offset));
  return digits;
}

// One character after any white space; end of input answers 'n'.
char read_answer() {
  char answer = 'n';
  if (std::scanf(" %c", &answer) != 1) answer = 'n';
  return answer;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("%s", USAGE_TEXT);
    return EXIT_FAILED;
  }
  const char* infile = argv[1];
  const std::span<char* const> options(argv + 2, static_cast<std::size_t>(argc - 2));
  const bool test_signature = !option_given(options, "-n");
  const bool padding = option_given(options, "-p");
  const std::string directory = output_directory(infile);

  const std::optional<InputImage> image = load_input_image(infile);
  if (!image) {
    std::printf("%s", OPEN_FAILURE_TEXT);
    return EXIT_FAILED;
  }
  const PaddingBlock padding_block;

  if (test_signature && !holds_signature(image->bytes())) {
    std::printf("%s", QUESTION_TEXT);
    std::fflush(stdout);  // the question is on the console before the program waits
    const char answer = read_answer();
    std::printf("%s", AFTER_ANSWER_TEXT);
    if (answer == 'n' || answer == 'N') return EXIT_DONE;
  }

  std::printf("%s", SCANNING_TEXT);
  std::fflush(stdout);
  const std::vector<std::int32_t> found_offsets = find_nemesis_archives(image->bytes());
  std::printf("%s", DONE_TEXT);
  if (found_offsets.empty()) {
    std::printf(NONE_FOUND_TEXT, infile);
    return EXIT_DONE;
  }

  std::printf("%s", EXTRACTING_TEXT);
  std::fflush(stdout);
  // A folder that exists already is used as it is.
  std::error_code error;
  std::filesystem::create_directory(directory, error);
  const bool have_folder = std::filesystem::is_directory(directory, error);

  NemesisDictionary dictionary;
  std::vector<std::uint8_t> output(static_cast<std::size_t>(NEMESIS_SCAN_MAX_TILES) * 32, 0);
  NemesisState state;
  state.dictionary = &dictionary;
  state.output = output;
  std::vector<std::string> failed_files;
  std::int32_t written = 0;
  for (const std::int32_t offset : have_folder ? found_offsets : std::vector<std::int32_t>{}) {
    try_nemesis_archive(state, image->bytes(), offset);  // the trial that succeeded, again
    const std::string name = directory + format_hex_name(offset) + ".smd";
    const std::span<const std::uint8_t> tiles(output.data(), static_cast<std::size_t>(state.write_pos));
    const bool ok = padding ? write_output_file(name.c_str(), {padding_block.bytes, tiles})
                            : write_output_file(name.c_str(), {tiles});
    if (ok) {
      ++written;
    } else {
      failed_files.push_back(name);
    }
  }
  if (have_folder && failed_files.empty()) {
    std::printf("%s", DONE_TEXT);
  } else {
    std::printf("%s", ERROR_TEXT);
    if (!have_folder) std::printf(FOLDER_FAILURE_TEXT, directory.c_str());
    for (const std::string& name : failed_files) print_output_failure(name.c_str());
  }
  std::printf(EXTRACTED_TEXT, written, infile);
  return (have_folder && failed_files.empty()) ? EXIT_DONE : EXIT_FAILED;
}
