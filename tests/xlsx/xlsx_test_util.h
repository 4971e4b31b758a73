#pragma once
// Helpers of the spreadsheet export tests: an independent bit-by-bit CRC-32, little-endian
// record builders, and running Python as an independent reader.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// A stored (uncompressed) archive of the given entries as the ZIP record layouts give it:
// local headers with their data, then the central directory and its end record.
inline std::string StoredArchive(const std::vector<std::pair<std::string, std::string>>& entries,
                                 uint16_t time, uint16_t date) {
  std::string out, directory;
  for (const auto& [name, data] : entries) {
    const std::string common = Le16(20) + Le16(0x0800) + Le16(0) + Le16(time) + Le16(date) +
                               Le32(BitwiseCrc32(data)) + Le32(data.size()) + Le32(data.size()) +
                               Le16(name.size()) + Le16(0);
    directory += Le32(0x02014B50) + Le16(20) + common + Le16(0) + Le16(0) + Le16(0) + Le32(0) +
                 Le32(out.size()) + name;
    out += Le32(0x04034B50) + common + name + data;
  }
  const auto n = static_cast<uint32_t>(entries.size());
  return out + directory + Le32(0x06054B50) + Le16(0) + Le16(0) + Le16(n) + Le16(n) +
         Le32(directory.size()) + Le32(out.size()) + Le16(0);
}

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
