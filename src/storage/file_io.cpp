#include "storage/file_io.h"

#include <cstdint>
#include <fstream>
#include <sstream>
#include <system_error>

namespace storage {

namespace fs = std::filesystem;

std::optional<std::string> ReadWholeFile(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return ss.str();
}

bool WriteFileAtomic(const fs::path& file, const std::string& bytes) {
  std::error_code ec;
  if (fs::is_directory(file, ec)) return false;
  fs::path tmp = file;
  tmp += ".tmp~";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      fs::remove(tmp, ec);
      return false;
    }
  }
  fs::rename(tmp, file, ec);
  if (ec) {
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

bool FileExists(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

fs::path InFolder(const std::string& folder, const std::string& name) {
  return fs::path(folder) / name;
}

int16_t CopyFileChecked(const std::string& source, const std::string& destination) {
  // Through a temporary file, so a failed copy never leaves a cut destination.
  const auto bytes = ReadWholeFile(source);
  if (!bytes) return -1;
  return WriteFileAtomic(destination, *bytes) ? 1 : -1;
}

int CountFileLines(const std::string& path) {
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return 0;
  const std::string& s = *bytes;
  int lines = 0;
  size_t i = 0;
  bool open_line = false;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\r' || c == '\n') {
      ++lines;
      open_line = false;
      if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      open_line = true;
    }
    ++i;
  }
  if (open_line) ++lines;
  return lines;
}

}  // namespace storage
