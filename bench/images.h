// Representative inputs for the benchmarks, made by the test-only builders.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "support/nemesis_archive.h"

// Art tiles of a few colours in runs, as most game art is.
inline std::vector<std::uint8_t> few_colour_tiles(std::size_t tiles, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(tiles * 32);
  std::uint8_t colour = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (random() % 6 == 0) colour = static_cast<std::uint8_t>(random() % 4);
    data[i] = static_cast<std::uint8_t>(colour * 0x11);
  }
  return data;
}

// `size` random bytes holding `archives` Nemesis archives of 1 to 64 tiles at even offsets.
inline std::vector<std::uint8_t> image_with_nemesis_archives(std::size_t size, int archives, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image(size);
  for (std::uint8_t& byte : image) byte = static_cast<std::uint8_t>(random());
  for (int i = 0; i < archives; ++i) {
    const std::vector<std::uint8_t> archive = compress_nemesis(few_colour_tiles(1 + random() % 64, random()), random() % 2 == 0);
    const std::size_t slot = size / static_cast<std::size_t>(archives);
    const std::size_t at = (static_cast<std::size_t>(i) * slot) & ~std::size_t{1};
    std::copy(archive.begin(), archive.end(), image.begin() + static_cast<long>(at));
  }
  return image;
}
