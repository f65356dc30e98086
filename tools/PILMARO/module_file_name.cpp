#include "module_file_name.h"

#include <algorithm>
#include <cstdio>

std::string module_file_name(std::string_view outfile, std::uint16_t load_location, bool single_module) {
  constexpr std::size_t NAME_CUT = 64;
  if (single_module) return std::string(outfile.substr(0, NAME_CUT));
  const std::size_t base = std::min({outfile.find('.'), outfile.size(), NAME_CUT});
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(load_location));
  return std::string(outfile.substr(0, base)) + " - 0x" + digits + std::string(outfile.substr(base, 4));
}
