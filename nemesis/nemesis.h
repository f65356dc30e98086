// Nemesis: art tiles (8 x 8 pixels of 4 bits, 32 bytes, left pixel in the high nibble) coded as runs
// of 1 to 8 equal nibbles.
//
// An archive is:
//   header word, big-endian: bit 15 XOR mode, bits 0-14 tile count (0 to 32767);
//   code table: entries ended by the byte 0xFF where an entry begins. An entry is an optional
//     marker byte (bit 7 set, not 0xFF; bits 0-3 become the write value, the nibble the following
//     entries emit), a length byte (bits 0-3 packet size = code length 1 to 8, bits 4-6 run length
//     minus 1, bit 7 clear) and a code byte (the code, right-aligned);
//   bit stream: codes read from the most significant bit of each byte down. A code found in the
//     table emits its nibble run; the escape 111111 is followed by 3 bits of run length minus 1 and
//     4 bits of nibble.
// The output is tile count x 32 bytes, filled a row (8 nibbles, 4 bytes) at a time. In XOR mode
// each row after the first is XORed with the row output before it, across tile boundaries.
//
// The dictionary has one entry for every 8-bit prefix of the stream: bits 0-3 the nibble, bits 4-7
// the run length minus 1, bits 8-11 the code's length. A code of length L fills the 2^(8-L) entries
// its bits prefix, so decoding a code is one 8-bit peek and one lookup.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::uint16_t EMPTY_ENTRY = 0xFFFF;

using NemesisDictionary = std::array<std::uint16_t, 256>;

// Results of build_dictionary and decode_tiles: 1 for success, a negative code for each fault.
inline constexpr int NEMESIS_DONE = 1;
// build_dictionary:
inline constexpr int NEMESIS_NO_WRITE_VALUE = -1;       // an entry before any marker byte
inline constexpr int NEMESIS_BAD_WRITE_COUNT = -2;      // a length byte with bit 7 set
inline constexpr int NEMESIS_PACKET_SIZE_ZERO = -3;
inline constexpr int NEMESIS_PACKET_SIZE_OVER_8 = -4;
inline constexpr int NEMESIS_CODE_TOO_WIDE = -5;        // code bits at or above the packet size
inline constexpr int NEMESIS_ENTRY_TAKEN = -6;          // two codes claim one dictionary entry
// check_dictionary_order:
inline constexpr int NEMESIS_DICTIONARY_OUT_OF_ORDER = -7;
// decode_tiles:
inline constexpr int NEMESIS_EMPTY_ENTRY_MET = -1;      // a code with no dictionary entry
inline constexpr int NEMESIS_OUTPUT_TOO_SMALL = -9;     // `output` has no room for the tiles
// Either operation, and the set-up: a byte the archive consumes (header, code table, or a stream
// byte one of whose bits a code uses) is not in the image. `outside_position` names it.
inline constexpr int NEMESIS_OUTSIDE_INPUT = -8;

struct NemesisState {
  std::uint8_t xor_mode = 0;
  std::span<const std::uint8_t> image;      // the whole input image, not owned
  std::span<std::uint8_t> output;           // owned by the tool: room for tile count x 32 bytes
  NemesisDictionary* dictionary = nullptr;  // owned by the tool
  std::int32_t read_pos = 0;                // index into `image` of the next byte to read
  std::int32_t write_pos = 0;               // output bytes completed
  std::int32_t tiles_left = 0;              // tile count; decode_tiles counts it down to 0
  std::uint8_t force = 0;                   // relaxes the checks (GORVELT's -f)
  std::int64_t outside_position = 0;        // set with NEMESIS_OUTSIDE_INPUT
};

// The set-up before each archive: reads the header at `offset`, sets xor_mode, tiles_left,
// read_pos = offset + 2 and write_pos = 0, and empties the dictionary. The tool then gives
// `output` room for tiles_left x 32 bytes. Returns NEMESIS_OUTSIDE_INPUT when the header is not
// wholly in the image, else NEMESIS_DONE.
int start_archive(NemesisState& state, std::span<const std::uint8_t> image, std::int32_t offset);

// Reads the code table from read_pos and fills the dictionary. On 1, read_pos is on the first byte
// of the bit stream.
//
// With `force` the faults -1 to -5 don't stop the build: an entry before any marker byte takes the
// write value 15, a length byte's bits 4-7 go into the entry as they stand, packet size 0 fills all
// 256 entries, and a packet size of 9 to 15 fills the one entry that the code's first 8 bits
// index. -6 always stops it.
int build_dictionary(NemesisState& state);

// Decodes tiles_left tiles into `output`. On 1, write_pos is the bytes written, tiles_left is 0 and
// read_pos is the archive's end: the first byte after the ones the bit window fetched.
//
// With `force` an empty entry is used as it reads (packet size 15, run of 16, nibble 15), and a
// code longer than the bits the window holds takes its bits from the bytes that follow. Output
// stays within tile count x 32 bytes whatever the entries say.
int decode_tiles(NemesisState& state);

// ---- Scanning an image for archives ----
//
// An archive is found by trial at every even offset whose first three bytes could start one: a
// header with bits 11-14 clear and a tile count from 1 to 2047, and a code table that opens with a
// marker byte whose bits 4-6 are clear (0x80 to 0x8F). The trial builds the dictionary, checks its
// order, and decodes the tiles; the offset is kept if all three succeed. A trial that would use
// bytes past the end of the image fails.

// The most tiles a candidate can have, and so the output area a trial needs.
inline constexpr std::int32_t NEMESIS_SCAN_MAX_TILES = 2047;

// After a successful build: among the entries of codes whose first bit is 0 (indices 0 to 127),
// the filled ones must be one unbroken run from index 0. Returns 1, or -7 for a filled entry after
// an empty one.
int check_dictionary_order(const NemesisDictionary& dictionary);

// The trial at `offset`: the byte tests, then build, order check and decode into state.output
// (room for NEMESIS_SCAN_MAX_TILES tiles). True when `offset` holds an archive; state then holds
// its decoded tiles (write_pos bytes). `force` is never set.
bool try_nemesis_archive(NemesisState& state, std::span<const std::uint8_t> image, std::int32_t offset);

// Every even offset of the image that holds an archive, rising.
std::vector<std::int32_t> find_nemesis_archives(std::span<const std::uint8_t> image);
