// Writes seed corpora for the fuzz targets, made by the test-only builders:
//   make_fuzz_seeds FOLDER   (one sub-folder per target)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/crackers_module.h"
#include "support/enigma_stream.h"
#include "support/kozinski_stream.h"
#include "support/nemesis_archive.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void write_seed(const std::filesystem::path& folder, const std::string& target, int n, const Bytes& bytes) {
  std::filesystem::create_directories(folder / target);
  const std::filesystem::path path = folder / target / ("seed_" + std::to_string(n));
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

Bytes pattern(std::size_t n, unsigned seed) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(((i / (3 + seed % 5)) * (seed | 1)) % (2 + seed % 7) * 0x11);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const std::filesystem::path folder = argv[1];
  for (unsigned i = 0; i < 8; ++i) {
    const Bytes data = pattern(64 + i * 100, i);
    write_seed(folder, "fuzz_kozinski", static_cast<int>(i), compress_kozinski(data));
    write_seed(folder, "fuzz_enigma_round_trip", static_cast<int>(i), data);
    write_seed(folder, "fuzz_nemesis", static_cast<int>(i), compress_nemesis(pattern(32 * (1 + i), i), i % 2 == 1));

    Bytes image = pattern(300, i + 1);
    const Bytes archive = compress_nemesis(pattern(32 * (1 + i), i + 3), i % 2 == 0);
    image.insert(image.begin() + 100, archive.begin(), archive.end());
    write_seed(folder, "fuzz_nemesis_scan", static_cast<int>(i), image);

    EnigmaStreamWriter enigma(EnigmaHeader{static_cast<std::uint8_t>(1 + i), static_cast<std::uint8_t>(i * 3 % 32),
                                           static_cast<std::uint16_t>(i * 100), static_cast<std::uint16_t>(i)});
    enigma.incrementing(3).common(1 + i).repeat(4, static_cast<std::uint16_t>(i)).ascending(5, 1).descending(2, 3);
    enigma.list({1, 0, static_cast<std::uint16_t>(i)}).end();
    write_seed(folder, "fuzz_enigma_decode", static_cast<int>(i), enigma.bytes());

    std::vector<Bytes> modules;
    for (unsigned m = 0; m <= i % 3; ++m) {
      CrackersModuleBuilder module(static_cast<std::uint16_t>(m * 0x400), (i + m) % 4);
      for (std::uint8_t b : pattern(6 + m * 5, i + m)) module.literal(b);
      module.reference(1, 2).reference(3, 2).literal(9);
      modules.push_back(module.bytes());
    }
    write_seed(folder, "fuzz_crackers", static_cast<int>(i), crackers_archive(modules));
  }
  return 0;
}
