// Test-only writer of Sonic Crackers art modules and archives: items go in as literals and
// references, and the flag bytes are placed before each group of eight.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

class CrackersModuleBuilder {
 public:
  CrackersModuleBuilder(std::uint16_t load_location, unsigned k) : load_location_(load_location), k_(k) {}

  CrackersModuleBuilder& literal(std::uint8_t byte) {
    items_.push_back({false, byte});
    return *this;
  }
  // A reference copying `length` bytes from `distance` back, in this module's shift.
  CrackersModuleBuilder& reference(unsigned distance, unsigned length) {
    const unsigned s = 4 - k_;
    return raw_reference(static_cast<std::uint8_t>((distance - 1) << s | (length - 2)));
  }
  CrackersModuleBuilder& raw_reference(std::uint8_t r) {
    items_.push_back({true, r});
    return *this;
  }

  // The header and the groups; a last group short of eight items is completed with zero literals.
  std::vector<std::uint8_t> bytes() const {
    std::vector<Item> items = items_;
    while (items.empty() || items.size() % 8 != 0) items.push_back({false, 0});
    const unsigned control = k_ << 14 | static_cast<unsigned>(items.size() / 8 - 1);
    std::vector<std::uint8_t> module = {static_cast<std::uint8_t>(load_location_ >> 8), static_cast<std::uint8_t>(load_location_),
                                        0x00, 0x00, static_cast<std::uint8_t>(control >> 8), static_cast<std::uint8_t>(control)};
    for (std::size_t group = 0; group < items.size(); group += 8) {
      std::uint8_t flags = 0;
      for (unsigned i = 0; i < 8; ++i) flags |= static_cast<std::uint8_t>(items[group + i].reference << (7 - i));
      module.push_back(flags);
      for (unsigned i = 0; i < 8; ++i) module.push_back(items[group + i].byte);
    }
    return module;
  }

 private:
  struct Item {
    bool reference;
    std::uint8_t byte;
  };
  std::uint16_t load_location_;
  unsigned k_;
  std::vector<Item> items_;
};

// A module compressed greedily: the longest match within the reach of shift selector k, else a
// literal. The data must fit one module (at most 131,072 items).
inline std::vector<std::uint8_t> compress_crackers_module(std::uint16_t load_location, unsigned k,
                                                          std::span<const std::uint8_t> data) {
  CrackersModuleBuilder module(load_location, k);
  const unsigned s = 4 - k;
  const std::size_t reach = std::size_t{1} << (8 - s);
  const std::size_t longest = (std::size_t{1} << s) + 1;
  for (std::size_t at = 0; at < data.size();) {
    std::size_t best = 0, best_distance = 0;
    for (std::size_t distance = 1; distance <= std::min(reach, at); ++distance) {
      std::size_t n = 0;
      while (n < longest && at + n < data.size() && data[at + n] == data[at + n - distance]) ++n;
      if (n > best) best = n, best_distance = distance;
    }
    if (best >= 2) {
      module.reference(static_cast<unsigned>(best_distance), static_cast<unsigned>(best));
      at += best;
    } else {
      module.literal(data[at++]);
    }
  }
  return module.bytes();
}

// The module count minus one, then the modules back to back.
inline std::vector<std::uint8_t> crackers_archive(const std::vector<std::vector<std::uint8_t>>& modules) {
  const auto word = static_cast<unsigned>(modules.size() - 1);
  std::vector<std::uint8_t> archive = {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
  for (const auto& module : modules) archive.insert(archive.end(), module.begin(), module.end());
  return archive;
}
