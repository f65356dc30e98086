// GORVELT infile outfile offset [-p] [-f]: decodes the Nemesis archive of art tiles at `offset` of
// infile into outfile.
#include <cstdio>

#include "frame/frame.h"
#include "nemesis/nemesis.h"

namespace {

constexpr const char* USAGE_TEXT =
    "Decompresses art tiles for the Genesis that have been compressed with Nemesis\ncompression.\n\nGORVELT infile outfile offset [<options>]\ninfile:\t\tThe file containing the archive.\noutfile:\tThe name of the file to create containing the decompressed data.offset:\t\tThe location of the archive in the source file.\n\n<options>\n-p\tAdd padding to file. Use this to get around the access violation error\n\tin TLP.\n-f\tForce the decompressor to attempt a decompression of an archive that\n\tappears to be invalid. Note that this could cause the program to crash\n\ton incorrect offsets. Provided in case it comes in handy. Only use this\n\tif you really know what you're doing.\n\n";
constexpr const char* OPEN_FAILURE_TEXT = "\nInvalid rom filename!";
constexpr const char* DICTIONARY_PROGRESS_TEXT = "Decompressing dictionary....\t";
constexpr const char* DICTIONARY_DONE_TEXT = "Done!\n";
constexpr const char* FILE_PROGRESS_TEXT = "Decompressing file....\t\t";
constexpr const char* FILE_DONE_TEXT = "Done!\n\n";
constexpr const char* ERROR_TEXT = "Error!\n\n";

constexpr const char* NO_WRITE_VALUE_TEXT = "Error!\n\nError code 0xFFFFFFFF\nAn attempt to write an entry was made before the writevalue was initialised\n\n";
constexpr const char* BAD_WRITE_COUNT_TEXT = "Error!\n\nError code 0xFFFFFFFE\nAn invalid writecount was encountered\n\n";
constexpr const char* PACKET_SIZE_ZERO_TEXT = "Error!\n\nError code 0xFFFFFFFD\nPacket size of 0 encountered\n\n";
constexpr const char* PACKET_SIZE_OVER_8_TEXT = "Error!\n\nError code 0xFFFFFFFC\nPacket size greater than 8 encountered\n\n";
constexpr const char* CODE_TOO_WIDE_TEXT = "Error!\n\nError code 0xFFFFFFFB\nSignificant bits of the buffer offset were discarded\n\n";
constexpr const char* ENTRY_TAKEN_TEXT = "Error!\n\nError code 0xFFFFFFFA\nA single location in the dictionary was referanced more than once\n\n";
constexpr const char* UNKNOWN_ERROR_TEXT = "Error!\n\nAn unknown error was encountered\n\n";
constexpr const char* EMPTY_ENTRY_MET_TEXT = "Error!\n\nError code 0xFFFFFFFF\nA referance was made to an uninitialised dictionary entry\n\n";

constexpr const char* REPORT_EXTRACTED = "Archive in %s successfully extracted to file %s.\n\n";
constexpr const char* REPORT_COMPRESSED = "Compressed file size:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_UNCOMPRESSED = "Uncompressed file size:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_BLOCKS = "Blocks extracted:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_LOCATION = "Location in file:\t\t0x%X - 0x%X\n";
constexpr const char* REPORT_RATE = "Compression rate:\t\t%.2f%%\n\n";

const char* dictionary_error_text(int result) {
  switch (result) {
    case NEMESIS_NO_WRITE_VALUE: return NO_WRITE_VALUE_TEXT;
    case NEMESIS_BAD_WRITE_COUNT: return BAD_WRITE_COUNT_TEXT;
    case NEMESIS_PACKET_SIZE_ZERO: return PACKET_SIZE_ZERO_TEXT;
    case NEMESIS_PACKET_SIZE_OVER_8: return PACKET_SIZE_OVER_8_TEXT;
    case NEMESIS_CODE_TOO_WIDE: return CODE_TOO_WIDE_TEXT;
    case NEMESIS_ENTRY_TAKEN: return ENTRY_TAKEN_TEXT;
    default: return UNKNOWN_ERROR_TEXT;
  }
}

// An archive that runs outside the file completes the open progress line with "Error!".
int fail_outside(const NemesisState& state) {
  std::printf("%s", ERROR_TEXT);
  print_outside_input(state.outside_position);
  return EXIT_FAILED;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::printf("%s", USAGE_TEXT);
    return EXIT_FAILED;
  }
  const char* infile = argv[1];
  const char* outfile = argv[2];
  NemesisState state;
  const std::int32_t offset = parse_offset_argument(argv[3]);
  const std::span<char* const> options(argv + 4, static_cast<std::size_t>(argc - 4));
  const bool padding = option_given(options, "-p");
  state.force = option_given(options, "-f") ? 1 : 0;

  const std::optional<InputImage> image = load_input_image(infile);
  if (!image) {
    std::printf("%s", OPEN_FAILURE_TEXT);
    return EXIT_FAILED;
  }
  NemesisDictionary dictionary;
  state.dictionary = &dictionary;
  const PaddingBlock padding_block;

  const int header = start_archive(state, image->bytes(), offset);
  const std::int32_t tile_count = state.tiles_left;
  OutputArea output(static_cast<std::size_t>(tile_count) * 32);
  if (!output.allocated()) {
    std::printf("%s", NO_MEMORY_TEXT);
    return EXIT_FAILED;
  }
  state.output = output.bytes();

  std::printf("%s", DICTIONARY_PROGRESS_TEXT);
  if (header == NEMESIS_OUTSIDE_INPUT) return fail_outside(state);
  const int built = build_dictionary(state);
  if (built == NEMESIS_OUTSIDE_INPUT) return fail_outside(state);
  if (built != NEMESIS_DONE) {
    std::printf("%s", dictionary_error_text(built));
    return EXIT_FAILED;
  }
  std::printf("%s", DICTIONARY_DONE_TEXT);

  std::printf("%s", FILE_PROGRESS_TEXT);
  std::fflush(stdout);
  const int decoded = decode_tiles(state);
  if (decoded == NEMESIS_OUTSIDE_INPUT) return fail_outside(state);
  if (decoded != NEMESIS_DONE) {
    std::printf("%s", EMPTY_ENTRY_MET_TEXT);
    return EXIT_FAILED;
  }
  std::printf("%s", FILE_DONE_TEXT);

  const std::span<const std::uint8_t> tiles(output.data(), static_cast<std::size_t>(state.write_pos));
  const bool written = padding ? write_output_file(outfile, {padding_block.bytes, tiles})
                               : write_output_file(outfile, {tiles});
  if (!written) {
    print_output_failure(outfile);
    return EXIT_FAILED;
  }

  const std::int32_t end = state.read_pos;
  std::printf(REPORT_EXTRACTED, infile, outfile);
  print_size_line(REPORT_COMPRESSED, end - offset);
  print_size_line(REPORT_UNCOMPRESSED, state.write_pos);
  print_size_line(REPORT_BLOCKS, tile_count);
  print_location_line(REPORT_LOCATION, offset, end);
  print_rate_line(REPORT_RATE, end - offset, state.write_pos);
  return EXIT_DONE;
}
