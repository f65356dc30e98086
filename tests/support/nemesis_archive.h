// Test-only writer of Nemesis archives: a header, a code table stated as entries, and a bit stream
// stated as codes and escapes, so tests read as codes rather than hex.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

class NemesisArchiveBuilder {
 public:
  NemesisArchiveBuilder(int tile_count, bool xor_mode = false) {
    const unsigned header = (xor_mode ? 0x8000u : 0u) | static_cast<unsigned>(tile_count);
    table_.push_back(static_cast<std::uint8_t>(header >> 8));
    table_.push_back(static_cast<std::uint8_t>(header));
  }

  // A table entry: `run` (1 to 8) times `nibble` for the `size`-bit code `code`. A marker byte is
  // written when the nibble differs from the write value the entry before it left.
  NemesisArchiveBuilder& entry(unsigned nibble, unsigned run, unsigned size, unsigned code) {
    if (!write_value_set_ || write_value_ != nibble) marker(nibble);
    return entry_without_marker(run, size, code);
  }
  NemesisArchiveBuilder& marker(unsigned nibble) {
    write_value_ = nibble;
    write_value_set_ = true;
    return table_byte(0x80 | nibble);
  }
  NemesisArchiveBuilder& entry_without_marker(unsigned run, unsigned size, unsigned code) {
    table_byte(((run - 1) << 4) | size);
    return table_byte(code);
  }
  NemesisArchiveBuilder& table_byte(unsigned byte) {
    table_.push_back(static_cast<std::uint8_t>(byte));
    return *this;
  }
  NemesisArchiveBuilder& end_table() { return table_byte(0xFF); }

  // Stream bits, most significant first.
  NemesisArchiveBuilder& code(unsigned size, unsigned value) {
    for (unsigned i = size; i-- > 0;) bits_.push_back((value >> i) & 1);
    return *this;
  }
  // The escape: 111111, 3 bits of run minus 1, 4 bits of nibble.
  NemesisArchiveBuilder& escape(unsigned run, unsigned nibble) {
    return code(6, 0x3F).code(3, run - 1).code(4, nibble);
  }

  std::size_t table_size() const { return table_.size(); }  // header and table, in bytes
  std::size_t stream_bits() const { return bits_.size(); }
  // Where decoding ends: 2 bytes taken at the start and one per fetch, ceil((T + 9) / 8) in all.
  std::size_t archive_end() const { return table_.size() + (bits_.size() + 9 + 7) / 8; }

  // Header, table and the stream padded with zero bits to archive_end().
  std::vector<std::uint8_t> bytes() const {
    std::vector<std::uint8_t> archive = table_;
    archive.resize(archive_end(), 0);
    for (std::size_t i = 0; i < bits_.size(); ++i) {
      if (bits_[i] != 0) archive[table_.size() + i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
    }
    return archive;
  }

 private:
  std::vector<std::uint8_t> table_;
  std::vector<std::uint8_t> bits_;
  unsigned write_value_ = 0;
  bool write_value_set_ = false;
};

// A plain compressor for fixtures and sample data: the nibbles are cut into runs of up to 8, and
// the commonest (nibble, run) pairs get codes 0xxx (4 bits), 10xxxx (6), 110xxxx (7) and 1110xxxx
// (8); the rest are escapes. In XOR mode each row is stored XORed with the row before it.
inline std::vector<std::uint8_t> compress_nemesis(std::span<const std::uint8_t> tiles, bool xor_mode) {
  std::vector<std::uint8_t> rows(tiles.begin(), tiles.end());
  if (xor_mode) {
    for (std::size_t i = rows.size(); i-- > 4;) rows[i] ^= tiles[i - 4];
  }
  std::vector<std::pair<unsigned, unsigned>> runs;  // (nibble, run)
  for (std::size_t i = 0; i < rows.size() * 2;) {
    const unsigned nibble = (i % 2 == 0) ? rows[i / 2] >> 4 : rows[i / 2] & 0x0F;
    unsigned run = 1;
    while (run < 8 && i + run < rows.size() * 2 &&
           ((i + run) % 2 == 0 ? rows[(i + run) / 2] >> 4 : rows[(i + run) / 2] & 0x0F) == nibble) {
      ++run;
    }
    runs.push_back({nibble, run});
    i += run;
  }
  std::map<std::pair<unsigned, unsigned>, std::size_t> counts;
  for (const auto& r : runs) ++counts[r];
  std::vector<std::pair<std::size_t, std::pair<unsigned, unsigned>>> ranked;
  for (const auto& [r, n] : counts) ranked.push_back({n, r});
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });

  struct Code {
    unsigned size, value;
  };
  const std::array<Code, 4> groups = {Code{4, 0x0}, Code{6, 0x20}, Code{7, 0x60}, Code{8, 0xE0}};
  const std::array<unsigned, 4> group_sizes = {8, 16, 16, 16};
  std::map<std::pair<unsigned, unsigned>, Code> codes;
  std::size_t next = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    for (unsigned k = 0; k < group_sizes[g] && next < ranked.size(); ++k, ++next) {
      codes[ranked[next].second] = Code{groups[g].size, groups[g].value + k};
    }
  }
  const int tile_count = static_cast<int>(tiles.size() / 32);
  NemesisArchiveBuilder archive(tile_count, xor_mode);
  // Entries grouped by nibble, so each nibble needs one marker.
  std::vector<std::pair<std::pair<unsigned, unsigned>, Code>> table(codes.begin(), codes.end());
  for (const auto& [r, c] : table) archive.entry(r.first, r.second, c.size, c.value);
  archive.end_table();
  for (const auto& r : runs) {
    const auto found = codes.find(r);
    if (found != codes.end()) {
      archive.code(found->second.size, found->second.value);
    } else {
      archive.escape(r.second, r.first);
    }
  }
  return archive.bytes();
}
