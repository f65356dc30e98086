// Test-only helpers for running a built program as a process in a temporary directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ProgramRun {
  int status = -1;          // exit status as a shell sees it (255 for -1); 128 + n for signal n
  bool signalled = false;
  std::string out;          // standard output
  std::string err;          // standard error
};

// Runs `program` with `arguments` in `directory`. `input`, when given, is fed to standard input;
// otherwise standard input is closed (reads see end of input at once).
ProgramRun run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                       const std::filesystem::path& directory,
                       const std::optional<std::string>& input = std::nullopt);

// n in upper-case hexadecimal without leading zeros, as the programs print positions.
std::string hex(std::uint64_t n);

// A fresh directory under the system's temporary directory, removed with all it holds.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
  std::vector<std::uint8_t> read(const std::string& name) const;
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }
  // Names of everything in the directory, sorted.
  std::vector<std::string> names() const;

 private:
  std::filesystem::path path_;
};
