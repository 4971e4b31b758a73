#include "storage/file_io.h"

#include "platform/file_write.h"
#include "platform/mapped_file.h"

#include <cstdint>
#include <system_error>

namespace storage {

namespace fs = std::filesystem;

std::optional<std::string> ReadWholeFile(const fs::path& file) {
  const platform::ReadOnlyFile in(file);
  if (!in.ok()) return std::nullopt;
  // Up to the end, wherever it is now: a file may grow or shrink while it is read.
  std::string data;
  data.reserve(static_cast<std::size_t>(in.size()));
  char chunk[65536];
  for (std::uint64_t at = 0;;) {
    const std::int64_t got = in.ReadAt(at, chunk, sizeof chunk);
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    data.append(chunk, static_cast<std::size_t>(got));
    at += static_cast<std::uint64_t>(got);
  }
  return data;
}

bool WriteFileAtomic(const fs::path& file, const std::string& bytes) {
  return platform::WriteFileAtomic(file, bytes) == 0;
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

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  bool open = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      open = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
      open = true;
    }
  }
  if (open) lines.push_back(current);
  return lines;
}

int CountFileLines(const std::string& path) {
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return 0;
  return static_cast<int>(SplitLines(*bytes).size());
}

}  // namespace storage
