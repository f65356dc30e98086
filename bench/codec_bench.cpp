// Decode throughput of every decoder, in bytes of output per second, each beside a memcpy of the
// same output size; and the Enigma encoder.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crackers/crackers.h"
#include "enigma/enigma.h"
#include "images.h"
#include "kozinski/kozinski.h"
#include "nemesis/nemesis.h"
#include "support/crackers_module.h"
#include "support/kozinski_stream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

InputImage image_of(const Bytes& bytes) {
  InputImage image;
  image.data = bytes;
  image.length = static_cast<std::int32_t>(bytes.size());
  return image;
}

// Beside each decoder's figure, in the same run: a memcpy of the same output size, in bytes per
// second (the counter memcpy_per_second), and the decoder's share of it.
void memcpy_beside(benchmark::State& state, std::size_t size) {
  Bytes from(size, 0x5A), to(size);
  const int repeats = 200;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < repeats; ++i) {
    std::memcpy(to.data(), from.data(), size);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["memcpy_per_second"] = benchmark::Counter(repeats * static_cast<double>(size) / seconds);
}

// Runs `decode` (which decodes into the area and returns the bytes it produced) as the benchmark,
// in bytes of output per second, with a memcpy of the same output size beside it.
template <typename Decode>
void measure_decoder(benchmark::State& state, std::size_t area_size, Decode decode) {
  Bytes area(area_size);
  std::int64_t produced = 0;
  std::size_t last = 0;
  for (auto _ : state) {
    last = static_cast<std::size_t>(decode(area));
    produced += static_cast<std::int64_t>(last);
    benchmark::DoNotOptimize(area.data());
  }
  state.SetBytesProcessed(produced);
  memcpy_beside(state, last);
}

// A Kozinski stream of about 1 MiB of output: literals, short copies and long copies in a random
// mix, the hardest case for a decoder's branches.
Bytes kozinski_stream() {
  std::mt19937 random(3);
  KozinskiStreamBuilder stream;
  std::size_t produced = 0;
  while (produced < 1000000) {
    const unsigned kind = random() % 10;
    if (kind < 4 || produced < 300) {
      stream.literal(static_cast<std::uint8_t>(random() % 16));
      produced += 1;
    } else if (kind < 7) {
      const int count = 2 + static_cast<int>(random() % 4);
      stream.short_copy(count, 1 + static_cast<int>(random() % 256));
      produced += static_cast<std::size_t>(count);
    } else if (kind < 9) {
      const int count = 3 + static_cast<int>(random() % 7);
      stream.long_copy(count, 1 + static_cast<int>(random() % std::min<std::size_t>(produced, 8192)));
      produced += static_cast<std::size_t>(count);
    } else {
      const int count = 10 + static_cast<int>(random() % 60);
      stream.long_copy_extended(count, 1 + static_cast<int>(random() % std::min<std::size_t>(produced, 8192)));
      produced += static_cast<std::size_t>(count);
    }
  }
  return stream.end().bytes();
}

// Range 0: the mixed stream above (0), or few-colour art compressed greedily (1).
void BM_KozinskiDecode(benchmark::State& state) {
  const InputImage image = image_of(state.range(0) == 0 ? kozinski_stream() : compress_kozinski(few_colour_tiles(16384, 9)));
  measure_decoder(state, KOZINSKI_OUTPUT_SIZE, [&](Bytes& area) { return decode_kozinski(image, 0, area).decoded_length; });
}
BENCHMARK(BM_KozinskiDecode)->Arg(0)->Arg(1);

// A Crackers module of 16384 groups: literals and references of every length, k = 0, in a random
// mix.
Bytes crackers_module_stream() {
  std::mt19937 random(4);
  CrackersModuleBuilder module(0x0000, 0);
  module.literal(1);
  for (int item = 1; item < 8 * 16384; ++item) {
    if (random() % 3 == 0 || item < 16) {
      module.literal(static_cast<std::uint8_t>(random() % 8));
    } else {
      module.reference(1 + random() % 16, 2 + random() % 16);
    }
  }
  return module.bytes();
}

// Range 0: the mixed module above (0), or few-colour art compressed greedily (1).
void BM_CrackersDecode(benchmark::State& state) {
  const InputImage image =
      image_of(state.range(0) == 0 ? crackers_module_stream() : compress_crackers_module(0, 0, few_colour_tiles(16384, 9)));
  measure_decoder(state, CRACKERS_OUTPUT_SIZE,
                  [&](Bytes& area) { return decode_crackers_module(image, 0, area).decoded_size; });
}
BENCHMARK(BM_CrackersDecode)->Arg(0)->Arg(1);

// 32767 tiles (1 MiB): few-colour art or noisy tiles (range 0: 0 or 1), in XOR mode or not
// (range 1).
void BM_NemesisDecode(benchmark::State& state) {
  const bool noisy = state.range(0) != 0;
  const bool xor_mode = state.range(1) != 0;
  Bytes tiles = few_colour_tiles(32767, 5);
  if (noisy) {
    std::mt19937 random(6);
    for (std::uint8_t& byte : tiles) byte = static_cast<std::uint8_t>(random());
  }
  const Bytes archive = compress_nemesis(tiles, xor_mode);
  NemesisDictionary dictionary;
  measure_decoder(state, tiles.size(), [&](Bytes& area) {
    NemesisState nemesis;
    nemesis.dictionary = &dictionary;
    start_archive(nemesis, archive, 0);
    nemesis.output = area;
    build_dictionary(nemesis);
    decode_tiles(nemesis);
    return nemesis.write_pos;
  });
  state.SetLabel(std::string(noisy ? "noisy" : "few colours") + (xor_mode ? ", XOR" : ""));
}
BENCHMARK(BM_NemesisDecode)->ArgsProduct({{0, 1}, {0, 1}});

// Plane maps of a typical shape, 512 K words: blank runs of the common word, rows of consecutive
// tiles, tiles with priority and palette flags.
Bytes plane_maps() {
  std::mt19937 random(7);
  Bytes bytes;
  std::uint16_t next_tile = 0x0100;
  while (bytes.size() < (1u << 20)) {
    const unsigned kind = random() % 6;
    const std::size_t n = 1 + random() % 24;
    for (std::size_t i = 0; i < n && bytes.size() < (1u << 20); ++i) {
      std::uint16_t word = 0;
      if (kind == 1 || kind == 2) word = next_tile++;
      if (kind == 3) word = static_cast<std::uint16_t>(0xA000 | (random() % 0x40));
      if (kind == 4) word = static_cast<std::uint16_t>(0x2000 | (0x300 + i));
      bytes.push_back(static_cast<std::uint8_t>(word >> 8));
      bytes.push_back(static_cast<std::uint8_t>(word));
    }
  }
  return bytes;
}

Bytes enigma_stream_of(const Bytes& words) {
  Bytes stream;
  enigma_compress(words, stream);
  return stream;
}

void BM_EnigmaDecode(benchmark::State& state) {
  const InputImage image = image_of(enigma_stream_of(plane_maps()));
  measure_decoder(state, ENIGMA_OUTPUT_SIZE, [&](Bytes& area) { return enigma_decode(image, 0, area).decoded_size; });
}
BENCHMARK(BM_EnigmaDecode);

// The whole encoding of 1 MiB of plane maps: header bits, value analysis, packets.
void BM_EnigmaEncode(benchmark::State& state) {
  const Bytes words = plane_maps();
  for (auto _ : state) {
    const Bytes stream = enigma_stream_of(words);
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * words.size()));
}
BENCHMARK(BM_EnigmaEncode)->Unit(benchmark::kMillisecond);

}  // namespace
