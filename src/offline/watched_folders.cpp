#include "offline/watched_folders.h"

#include <system_error>
#include <vector>

#include "storage/file_io.h"
#include "storage/settings_text.h"

namespace offline {
namespace fs = std::filesystem;

namespace {
constexpr const char* kFoldView = "foldview.dat";
}  // namespace

WatchedFolders DefaultFolderCaptions() {
  WatchedFolders captions;
  for (int i = 0; i < kWatchedFolders; ++i)
    captions[static_cast<size_t>(i)] = "_folder" + std::to_string(i + 1);
  return captions;
}

bool IsWatchable(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(fs::path(path), ec);
}

WatchedFolders ReadWatchedFolders(const fs::path& program_folder) {
  WatchedFolders captions = DefaultFolderCaptions();
  const auto bytes = storage::ReadTextFile(program_folder / kFoldView);
  if (!bytes) return captions;
  const std::vector<std::string> lines = storage::SplitLines(storage::DecodeText(*bytes));
  for (size_t i = 0; i < captions.size() && i < lines.size(); ++i)
    if (IsWatchable(lines[i])) captions[i] = lines[i];
  return captions;
}

bool WriteWatchedFolders(const fs::path& program_folder, const WatchedFolders& captions) {
  std::string bytes;
  for (const std::string& caption : captions) {
    for (char c : caption)
      if (c != '\r' && c != '\n') bytes += c;
    bytes += "\r\n";
  }
  return storage::WriteFileAtomic(program_folder / kFoldView, bytes);
}

}  // namespace offline
