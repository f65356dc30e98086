// How PILMARO names the file of each module.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// With a single module: the outfile argument, cut to 64 characters. For the modules of an archive:
// the argument up to its first '.' (wherever it stands) but at most 64 characters, then " - 0x",
// the load location as four upper-case hexadecimal digits, then at most four more characters of
// the argument (the '.' and up to three of the extension).
std::string module_file_name(std::string_view outfile, std::uint16_t load_location, bool single_module);
