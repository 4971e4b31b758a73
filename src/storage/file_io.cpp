#include "storage/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>
#include <system_error>
#include <utility>

#include "platform/dialogs.h"
#include "platform/file_write.h"
#include "platform/mapped_file.h"

namespace storage {

namespace fs = std::filesystem;

namespace {

// Up to the end, wherever it is now: a file may grow or shrink while it is read, so
// `limit` bounds what is read, not only the size the file had when it was opened.
std::optional<std::string> ReadAll(const platform::ReadOnlyFile& in, std::uint64_t limit) {
  std::string data;
  data.reserve(static_cast<std::size_t>(std::min(in.size(), limit)));
  char chunk[65536];
  for (std::uint64_t at = 0;;) {
    const std::int64_t got = in.ReadAt(at, chunk, sizeof chunk);
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    data.append(chunk, static_cast<std::size_t>(got));
    at += static_cast<std::uint64_t>(got);
    if (at > limit) return std::nullopt;
  }
  return data;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const fs::path& file) {
  const platform::ReadOnlyFile in(file);
  if (!in.ok()) return std::nullopt;
  return ReadAll(in, UINT64_MAX);
}

TextFile ReadTextFileQuietly(const fs::path& file) {
  TextFile text;
  const platform::ReadOnlyFile in(file);
  if (!in.ok()) {
    text.error = in.error();
    return text;
  }
  if (in.size() > kTextFileLimit) {
    text.refused_size = in.size();
    return text;
  }
  text.bytes = ReadAll(in, kTextFileLimit);
  if (!text.bytes) text.error = errno != 0 ? errno : EIO;
  return text;
}

std::optional<std::string> ReadTextFile(const fs::path& file) {
  TextFile text = ReadTextFileQuietly(file);
  if (text.refused_size != 0) {
    static std::set<std::pair<std::string, std::uint64_t>> told;
    std::error_code ec;
    const fs::path where = fs::absolute(file, ec).lexically_normal();
    if (told.insert({where.string(), text.refused_size}).second)
      platform::GetDialogs().MsgBox(TooLargeText(file, text.refused_size));
  }
  return std::move(text.bytes);
}

std::string TooLargeText(const fs::path& file, std::uint64_t size) {
  return file.string() + " was not read: it holds " + std::to_string(size) +
         " bytes, far more than a file of its kind ever holds.";
}

std::string FileErrorText(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EACCES:
    case EPERM:
    case EROFS:
      return "a full disk or a read-only folder";
    default:
      return std::strerror(error != 0 ? error : EIO);
  }
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
  const auto bytes = ReadTextFile(source);
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
  const auto bytes = ReadTextFile(path);
  if (!bytes) return 0;
  return static_cast<int>(SplitLines(*bytes).size());
}

}  // namespace storage
