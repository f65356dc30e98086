// Writes the sample image the main job runs on: a small made-up game image holding one archive
// of each format at a fixed offset. Run it as `make_sample sample/sample.bin` after changing it.
//
//   0x0000  a cartridge-style header
//   0x0200  Kozinski: a 64 x 32 level layout of block numbers
#include <cstdio>
#include <vector>

#include "kozinski_stream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A level layout: sky, a few floating platforms, hills and solid ground.
Bytes level_layout() {
  constexpr int WIDTH = 64;
  constexpr int HEIGHT = 32;
  Bytes layout(WIDTH * HEIGHT, 0x00);
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) {
      std::uint8_t block = 0x00;
      const int ground = 24 - (x % 16 < 8 ? x % 8 : 8 - x % 8) / 2;
      if (y > ground) block = 0x21;
      if (y == ground) block = 0x20;
      if (y == 12 && x % 20 >= 4 && x % 20 < 10) block = 0x30 + static_cast<std::uint8_t>(x % 2);
      if (y == 6 && x % 13 == 5) block = 0x40;
      layout[static_cast<std::size_t>(y * WIDTH + x)] = block;
    }
  }
  return layout;
}

void place(Bytes& image, std::size_t at, const Bytes& bytes) {
  if (image.size() < at + bytes.size()) image.resize(at + bytes.size(), 0xFF);
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(at));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("make_sample output\n");
    return 1;
  }
  Bytes image(0x200, 0x00);
  const char title[] = "SEGA GENESIS    (C)SAMPLE 2026  SAMPLE IMAGE FOR THE ART TOOLS";
  place(image, 0x100, Bytes(title, title + sizeof title - 1));
  place(image, 0x200, compress_kozinski(level_layout()));
  // Room after each archive, so later ones keep their offsets when an earlier one changes.
  image.resize(0x1000, 0xFF);

  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return 1;
  const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  return (std::fclose(file) == 0 && written) ? 0 : 1;
}
