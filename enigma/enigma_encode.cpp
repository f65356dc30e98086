#include <algorithm>
#include <memory>

#include "enigma.h"

namespace {

std::uint16_t word_at(std::span<const std::uint8_t> data, std::size_t word) {
  return static_cast<std::uint16_t>(data[2 * word] << 8 | data[2 * word + 1]);
}

int as_signed(std::uint16_t word) { return static_cast<std::int16_t>(word); }

constexpr std::int32_t LONGEST_RUN = 16;
constexpr std::int32_t LONGEST_LIST = 15;

}  // namespace

WordBits scan_word_bits(std::span<const std::uint8_t> data) {
  unsigned used = 0;
  for (std::size_t i = 0; i < data.size() / 2; ++i) used |= word_at(data, i);
  WordBits bits;
  bits.flag_mask = static_cast<std::uint8_t>(used >> 11);
  int inline_bits = 11;
  for (int b = 10; b >= 1 && ((used >> b) & 1u) == 0; --b) --inline_bits;
  bits.inline_bits = static_cast<std::uint8_t>(inline_bits);
  return bits;
}

CommonAndIncrement choose_common_and_increment(std::span<const std::uint8_t> data) {
  const std::size_t words = data.size() / 2;
  // count(v) is a histogram. chain(v) is found in one pass from the end: chain_from[v] holds the
  // length of the chain that starts at the nearest later occurrence of v (0 if none), so a word w
  // at position i starts a chain of 1 + chain_from[w + 1], and becomes the nearest occurrence of w.
  // After the pass chain_from[v] is the chain from v's first occurrence: chain(v).
  auto count = std::make_unique<std::uint32_t[]>(0x10000);
  auto chain_from = std::make_unique<std::uint32_t[]>(0x10000);
  for (std::size_t i = words; i-- > 0;) {
    const std::uint16_t word = word_at(data, i);
    ++count[word];
    chain_from[word] = 1 + chain_from[static_cast<std::uint16_t>(word + 1)];
  }
  CommonAndIncrement chosen;
  std::uint32_t best_count = 0;
  std::uint32_t best_chain = 0;
  for (std::uint32_t v = 0; v <= 0xFFFF; ++v) {
    if (count[v] > best_count) {
      best_count = count[v];
      chosen.common_word = static_cast<std::uint16_t>(v);
    }
    if (chain_from[v] > best_chain) {
      best_chain = chain_from[v];
      chosen.increment_word = static_cast<std::uint16_t>(v);
    }
  }
  return chosen;
}

RunMeasures measure_runs(std::span<const std::uint8_t> data, std::int32_t word, std::uint16_t incrementing_word,
                         std::uint16_t common_word) {
  const auto words = static_cast<std::int32_t>(data.size() / 2);
  const std::int32_t ahead = std::min(LONGEST_RUN, words - word);
  auto w = [&](std::int32_t k) { return word_at(data, static_cast<std::size_t>(word + k)); };
  const std::uint16_t first = w(0);
  RunMeasures runs;
  if (first == incrementing_word) {
    while (runs.incrementing_run < ahead &&
           as_signed(w(runs.incrementing_run)) == as_signed(incrementing_word) + runs.incrementing_run) {
      ++runs.incrementing_run;
    }
  }
  while (runs.common_run < ahead && w(runs.common_run) == common_word) ++runs.common_run;
  while (runs.repeat_run < ahead && w(runs.repeat_run) == first) ++runs.repeat_run;
  while (runs.ascending_run < ahead && as_signed(w(runs.ascending_run)) == as_signed(first) + runs.ascending_run) {
    ++runs.ascending_run;
  }
  while (runs.descending_run < ahead &&
         as_signed(w(runs.descending_run)) == as_signed(first) - runs.descending_run) {
    ++runs.descending_run;
  }
  const std::int32_t list_ahead = std::min(LONGEST_LIST, words - word);
  while (runs.list_run < list_ahead) {
    const std::uint16_t current = w(runs.list_run);
    if (current == common_word || current == incrementing_word) break;
    if (word + runs.list_run + 1 < words) {
      const int next = as_signed(w(runs.list_run + 1));
      if (next == as_signed(current) || next == as_signed(current) + 1 || next == as_signed(current) - 1) break;
    }
    ++runs.list_run;
  }
  return runs;
}

void write_inline_value(BitWriter& writer, const EnigmaHeader& header, std::uint16_t word) {
  for (int k = 0; k <= 4; ++k) {
    if ((header.flag_mask >> (4 - k)) & 1u) writer.put_bit(word >> (15 - k));
  }
  for (int j = header.inline_bits - 1; j >= 0; --j) writer.put_bit(j < 16 ? word >> j : 0u);
}

void enigma_compress(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
  const WordBits bits = scan_word_bits(data);
  const CommonAndIncrement values = choose_common_and_increment(data);
  enigma_encode(data, EnigmaHeader{bits.inline_bits, bits.flag_mask, values.increment_word, values.common_word}, out);
}

void enigma_encode(std::span<const std::uint8_t> data, const EnigmaHeader& header, std::vector<std::uint8_t>& out) {
  out.push_back(header.inline_bits);
  out.push_back(header.flag_mask);
  out.push_back(static_cast<std::uint8_t>(header.increment_word >> 8));
  out.push_back(static_cast<std::uint8_t>(header.increment_word));
  out.push_back(static_cast<std::uint8_t>(header.common_word >> 8));
  out.push_back(static_cast<std::uint8_t>(header.common_word));

  BitWriter writer(out);
  auto packet = [&](unsigned head, int head_width, std::int32_t n) {
    writer.put_bits(head, head_width);
    writer.put_bits(static_cast<unsigned>(n - 1), 4);
  };
  const auto words = static_cast<std::int32_t>(data.size() / 2);
  std::uint16_t incrementing_word = header.increment_word;
  for (std::int32_t word = 0; word < words;) {
    const RunMeasures runs = measure_runs(data, word, incrementing_word, header.common_word);
    const std::uint16_t first = word_at(data, static_cast<std::size_t>(word));
    std::int32_t n = 0;
    if (runs.incrementing_run > 0) {
      n = runs.incrementing_run;
      packet(0b00, 2, n);
      incrementing_word = static_cast<std::uint16_t>(incrementing_word + n);
    } else if (runs.common_run > 0) {
      n = runs.common_run;
      packet(0b01, 2, n);
    } else if (runs.repeat_run > runs.ascending_run && runs.repeat_run > runs.descending_run) {
      n = runs.repeat_run;
      packet(0b100, 3, n);
      write_inline_value(writer, header, first);
    } else if (runs.ascending_run > runs.descending_run) {
      n = runs.ascending_run;
      packet(0b101, 3, n);
      write_inline_value(writer, header, first);
    } else if (runs.descending_run > 1) {
      n = runs.descending_run;
      packet(0b110, 3, n);
      write_inline_value(writer, header, first);
    } else {
      n = runs.list_run;
      packet(0b111, 3, n);
      for (std::int32_t k = 0; k < n; ++k) {
        write_inline_value(writer, header, word_at(data, static_cast<std::size_t>(word + k)));
      }
    }
    word += n;
  }
  writer.put_bits(0x7F, 7);  // the end code
  writer.finish();
}
