// Writes the sample image the main job runs on: a small made-up game image holding one archive
// of each format at a fixed offset. Run it as `make_sample sample/sample.bin` after changing it.
//
//   0x0000  a cartridge-style header
//   0x0180  68000 code that unpacks Nemesis table entries (what BRATHUSK looks for)
//   0x0200  Kozinski: a 64 x 32 level layout of block numbers
//   0x1000  Nemesis: 16 tiles of a ring sprite
//   0x1800  Nemesis, XOR mode: 16 tiles of a shaded background
//   0x2000  Enigma: a 40 x 28 plane map
//   0x2800  Enigma: a 64 x 32 special stage layout (2048 words)
//   0x3000  Crackers: an archive of three modules of art for VRAM 0x0000, 0x0400 and 0xA000
//   0x3800  Nemesis: 4 tiles of a font
#include <algorithm>
#include <cstdio>
#include <vector>

#include "kozinski_stream.h"
#include "crackers_module.h"
#include "enigma_stream.h"
#include "nemesis_archive.h"

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

// 16 tiles (a 4 x 4 block of them) of a ring: a few colours on a transparent background.
Bytes ring_tiles() {
  Bytes tiles(16 * 32, 0);
  for (int ty = 0; ty < 4; ++ty) {
    for (int tx = 0; tx < 4; ++tx) {
      for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 8; ++col) {
          const int x = tx * 8 + col - 16;
          const int y = ty * 8 + row - 16;
          const int d = x * x + y * y;
          const int colour = d < 100 ? 0 : d < 160 ? 3 : d < 200 ? 5 : d < 240 ? 4 : 0;
          const std::size_t at = static_cast<std::size_t>((ty * 4 + tx) * 32 + row * 4 + col / 2);
          tiles[at] |= static_cast<std::uint8_t>(col % 2 == 0 ? colour << 4 : colour);
        }
      }
    }
  }
  return tiles;
}

// 16 tiles of vertical shading bands, where most rows repeat the one above: XOR mode's case.
Bytes background_tiles() {
  Bytes tiles(16 * 32, 0);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const std::size_t tile = i / 32;
    const std::size_t row = (i % 32) / 4;
    const std::size_t column = i % 4;
    const unsigned shade = static_cast<unsigned>(((tile + column) % 6) + (row == 7 ? 8 : 1));
    tiles[i] = static_cast<std::uint8_t>(shade << 4 | ((shade + 1) & 0x0F));
  }
  return tiles;
}

// A plane map of 40 x 28 words: blank sky (the common word), a title block of consecutive tiles
// (the incrementing word), ground rows of alternating tiles with the priority and palette flags,
// and a few lone tiles.
Bytes plane_map() {
  EnigmaStreamWriter map(EnigmaHeader{11, 0x1C, 0x0040, 0x0000});
  for (int row = 0; row < 28; ++row) {
    if (row >= 4 && row < 8) {
      map.common(12).incrementing(16).common(12);  // the title, 16 new tiles a row
    } else if (row >= 22) {
      for (int i = 0; i < 40; i += 4) map.list({0xA101, 0xA102, 0xA103, 0xA104});
    } else if (row == 21) {
      map.repeat(16, 0x8100).repeat(16, 0x8100).repeat(8, 0x8100);
    } else if (row % 5 == 2) {
      map.common(10).ascending(5, 0x2080).common(10).descending(5, 0x2090).common(10);
    } else {
      map.common(16).common(16).common(8);
    }
  }
  return map.end().bytes();
}

// A special stage layout: 64 rows of 32 words, walls round the edge, a maze of blocks inside.
Bytes special_stage_layout() {
  EnigmaStreamWriter layout(EnigmaHeader{7, 0x00, 0x0001, 0x0000});
  for (int row = 0; row < 64; ++row) {
    if (row == 0 || row == 63) {
      layout.repeat(16, 0x0012).repeat(16, 0x0012);
    } else if (row % 6 == 3) {
      layout.repeat(1, 0x0012).common(6).ascending(8, 0x0020).common(8).list({0x0031, 0x0032, 0x0033}).common(5);
      layout.repeat(1, 0x0012);
    } else {
      layout.repeat(1, 0x0012).common(15).common(15).repeat(1, 0x0012);
    }
  }
  return layout.end().bytes();
}

Bytes crackers_archive_of_art() {
  Bytes font(8 * 32), border(4 * 32), hud(6 * 32);
  for (std::size_t i = 0; i < font.size(); ++i) font[i] = (i % 4 == 1 && (i / 4) % 8 > 1) ? 0x11 : 0x00;
  for (std::size_t i = 0; i < border.size(); ++i) border[i] = static_cast<std::uint8_t>(i % 32 < 4 ? 0x66 : 0x60);
  for (std::size_t i = 0; i < hud.size(); ++i) hud[i] = static_cast<std::uint8_t>((i * 7 / 5) % 3 * 0x23);
  return crackers_archive({compress_crackers_module(0x0000, 0, font), compress_crackers_module(0x0400, 2, border),
                           compress_crackers_module(0xA000, 1, hud)});
}

void place(Bytes& image, std::size_t at, const Bytes& bytes) {
  if (image.size() < at) image.resize(at, 0xFF);
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
  place(image, 0x180, {0x02, 0x47, 0x00, 0x0F, 0x02, 0x41, 0x00, 0x70, 0x8E, 0x41, 0x02, 0x40, 0x00, 0x0F, 0x12, 0x00});
  place(image, 0x200, compress_kozinski(level_layout()));
  place(image, 0x1000, compress_nemesis(ring_tiles(), false));
  place(image, 0x1800, compress_nemesis(background_tiles(), true));
  // Room after each archive, so later ones keep their offsets when an earlier one changes.
  place(image, 0x2000, plane_map());
  place(image, 0x2800, special_stage_layout());
  place(image, 0x3000, crackers_archive_of_art());
  Bytes font(4 * 32, 0);
  for (std::size_t i = 0; i < font.size(); ++i) font[i] = (i % 4 == 1 || (i / 4) % 8 == 3) ? 0x1F : 0x00;
  place(image, 0x3800, compress_nemesis(font, false));
  image.resize(0x3C00, 0xFF);

  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return 1;
  const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  return (std::fclose(file) == 0 && written) ? 0 : 1;
}
