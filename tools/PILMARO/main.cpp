// PILMARO infile outfile offset [-p] [-m]: decodes the Sonic Crackers art archive at `offset` of
// infile, one output file per module named after outfile and the module's load location; with -m,
// the one module at `offset`.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "crackers/crackers.h"
#include "frame/frame.h"
#include "module_file_name.h"

namespace {

constexpr const char* USAGE_TEXTS[] = {
    "Decompresses an archive compressed using the Sonic Crackers art compression\nformat.\n\n",
    "PILMARO infile outfile offset [<options>]\n",
    "infile:\t\tThe name of the file containing the archive.\n",
    "outfile:\tThe name of the file to create containing the extracted data.\n",
    "offset:\t\tThe location of the archive in the source file.\n\n",
    "<options>\n-p\tAdd padding to file. Use this to get around the access violation error\n\tin TLP. This also adds some filler at the end if needed, to complete the\tlast block which is sometimes left only half-written with this format.\n-m\tDecompress a single module. This will skip reading in the block header\n\tand just attempt to decompress a single module.\n\n",
};
constexpr const char* OPEN_FAILURE_TEXT = "\n\nInvalid rom filename!\n\n";
constexpr const char* BEGINNING_ONE_TEXT = "Beginning decompression of %i module.\n\n";
constexpr const char* BEGINNING_MANY_TEXT = "Beginning decompression of %i modules.\n\n";
constexpr const char* MODULE_PROGRESS_TEXT = "Decompressing module %i....\t";
constexpr const char* ERROR_TEXT = "Error!\n\n";
constexpr const char* INVALID_OFFSET_TEXT = "Invalid offset encounted at 0x%X\n\n";
constexpr const char* DONE_TEXT = "Done!\n";
constexpr const char* REPORT_COMPRESSED = "Compressed filesize:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_UNCOMPRESSED = "Uncompressed filesize:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_LOAD_LOCATION = "Load location in VRAM:\t\t0x%X\t\t%i\n";
constexpr const char* REPORT_LOCATION = "Location of module:\t\t0x%X - 0x%X\n";
constexpr const char* REPORT_RATE = "Compression rate:\t\t%.2f%%\n\n";
constexpr const char* SUMMARY_ONE_TEXT = "\n%i module successfully extracted\n";
constexpr const char* SUMMARY_MANY_TEXT = "\n%i modules successfully extracted\n";
constexpr const char* SUMMARY_COMPRESSED = "Total compressed filesize:\t0x%X\t\t%i\n";
constexpr const char* SUMMARY_UNCOMPRESSED = "Total uncompressed filesize:\t0x%X\t\t%i\n";
constexpr const char* SUMMARY_LOCATION = "Location of archive:\t\t0x%X - 0x%X\n";
constexpr const char* SUMMARY_RATE = "Total compression rate:\t\t%.2f%%\n\n";

// A failure the format itself does not name: a module that runs past the end of the file.
constexpr const char* MODULE_OUTSIDE_TEXT =
    "Module %i at 0x%X runs outside the file: the byte at 0x%X is not in it.\n\n";

constexpr std::size_t BLOCK = 32;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    for (const char* text : USAGE_TEXTS) std::printf("%s", text);
    return EXIT_FAILED;
  }
  const char* infile = argv[1];
  const std::string_view outfile = argv[2];
  const std::int32_t offset = parse_offset_argument(argv[3]);
  const std::span<char* const> options(argv + 4, static_cast<std::size_t>(argc - 4));
  const bool padding = option_given(options, "-p");
  const bool single_module = option_given(options, "-m");
  const PaddingBlock padding_block;

  const std::optional<InputImage> image = load_input_image(infile);
  if (!image) {
    std::printf("%s", OPEN_FAILURE_TEXT);
    return EXIT_FAILED;
  }
  OutputArea output(CRACKERS_OUTPUT_SIZE);
  if (!output.allocated()) {
    std::printf("%s", NO_MEMORY_TEXT);
    return EXIT_FAILED;
  }

  std::int32_t module_count = 1;
  std::int32_t position = offset;
  if (!single_module) {
    const CrackersArchiveHeader archive = read_module_count(*image, offset);
    if (!archive.inside) {
      std::printf("%s", ERROR_TEXT);
      print_outside_input(archive.outside_position);
      return EXIT_FAILED;
    }
    module_count = archive.module_count;
    position = archive.first_module;
    std::printf(module_count == 1 ? BEGINNING_ONE_TEXT : BEGINNING_MANY_TEXT, module_count);
  }

  std::int64_t total_uncompressed = 0;
  for (std::int32_t module = 1; module <= module_count; ++module) {
    std::printf(MODULE_PROGRESS_TEXT, module);
    std::fflush(stdout);
    const CrackersModuleResult result = decode_crackers_module(*image, position, output.bytes());
    if (result.status != CrackersStatus::success) {
      std::printf("%s", ERROR_TEXT);
      switch (result.status) {
        case CrackersStatus::invalid_offset:
          std::printf(INVALID_OFFSET_TEXT, static_cast<unsigned>(result.error_position));
          break;
        case CrackersStatus::outside_input:
          std::printf(MODULE_OUTSIDE_TEXT, module, static_cast<unsigned>(position),
                      static_cast<unsigned>(result.error_position));
          break;
        default:
          print_output_full(CRACKERS_OUTPUT_SIZE, position);
          break;
      }
      return EXIT_FAILED;
    }

    // Padding, the decoded bytes, and zero filler to the end of the last 32-byte block.
    const auto decoded = static_cast<std::size_t>(result.decoded_size);
    const std::size_t filler = (BLOCK - decoded % BLOCK) % BLOCK;
    const std::span<const std::uint8_t> zeros(padding_block.bytes);
    const std::span<const std::uint8_t> data(output.data(), decoded);
    const std::string name = module_file_name(outfile, result.load_location, single_module);
    std::optional<OutputFile> file = create_output_file(name.c_str());
    const bool written = file && (!padding || file->write(zeros)) && file->write(data) &&
                         file->write(zeros.first(filler)) && file->close();
    if (!written) {
      std::printf("%s", ERROR_TEXT);
      print_output_failure(name.c_str());
      return EXIT_FAILED;
    }

    const std::int32_t compressed = result.end_position - result.start_position;
    std::printf("%s", DONE_TEXT);
    print_size_line(REPORT_COMPRESSED, compressed);
    print_size_line(REPORT_UNCOMPRESSED, result.decoded_size);
    print_size_line(REPORT_LOAD_LOCATION, static_cast<std::int32_t>(result.load_location));
    print_location_line(REPORT_LOCATION, result.start_position, result.end_position);
    print_rate_line(REPORT_RATE, compressed, result.decoded_size);
    total_uncompressed += result.decoded_size;
    position = result.end_position;
  }

  if (!single_module) {
    const std::int32_t total_compressed = position - offset;
    std::printf(module_count == 1 ? SUMMARY_ONE_TEXT : SUMMARY_MANY_TEXT, module_count);
    print_size_line(SUMMARY_COMPRESSED, total_compressed);
    print_size_line(SUMMARY_UNCOMPRESSED, total_uncompressed);
    print_location_line(SUMMARY_LOCATION, offset, position);
    print_rate_line(SUMMARY_RATE, total_compressed, static_cast<double>(total_uncompressed));
  }
  return EXIT_DONE;
}
