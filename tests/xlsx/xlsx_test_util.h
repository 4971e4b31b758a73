#pragma once
// Helpers of the spreadsheet export tests: an independent bit-by-bit CRC-32, little-endian
// record builders, and running Python as an independent reader.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace xlsxtest {

// The CRC-32 computed one bit at a time, without tables.
inline uint32_t BitwiseCrc32(std::string_view bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

inline std::string Le16(uint32_t v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
inline std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

struct CommandResult {
  int exit_code = -1;
  std::string output;
};

// Runs a shell command line and gathers its standard output.
inline CommandResult Run(const std::string& command) {
  CommandResult r;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.output.append(buf, got);
  const int status = pclose(pipe);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Debian's interpreter when present (it has openpyxl), otherwise whatever python3 is.
inline std::string Python() {
  return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

}  // namespace xlsxtest
