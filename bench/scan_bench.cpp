// The Nemesis scan over a whole image: the byte tests at every even offset, a trial where they pass.
#include <benchmark/benchmark.h>

#include "images.h"
#include "nemesis/nemesis.h"

namespace {

void BM_ScanFourMebibyteImage(benchmark::State& state) {
  const std::vector<std::uint8_t> image = image_with_nemesis_archives(4 << 20, 50, 1);
  std::size_t found = 0;
  for (auto _ : state) {
    const std::vector<std::int32_t> offsets = find_nemesis_archives(image);
    found = offsets.size();
    benchmark::DoNotOptimize(offsets.data());
  }
  state.counters["archives"] = static_cast<double>(found);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_ScanFourMebibyteImage)->Unit(benchmark::kMillisecond);

}  // namespace
