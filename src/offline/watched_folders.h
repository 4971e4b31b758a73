#pragma once
// foldview.dat in the program folder: the browser's five watched folders, a list the
// user keeps. One plain CR LF line per folder, in menu order. A line is read whole (a
// path holding a comma survives); a line that names no existing folder or file, or is
// missing, leaves its menu item with its own caption "_folder1".."_folder5".
#include <array>
#include <filesystem>
#include <string>

namespace offline {

inline constexpr int kWatchedFolders = 5;
using WatchedFolders = std::array<std::string, kWatchedFolders>;

// "_folder1" .. "_folder5".
WatchedFolders DefaultFolderCaptions();
// The captions of the five items.
WatchedFolders ReadWatchedFolders(const std::filesystem::path& program_folder);
// Rewrites foldview.dat with the five captions; false when it could not be written.
bool WriteWatchedFolders(const std::filesystem::path& program_folder,
                         const WatchedFolders& captions);
// An answer the menu takes: not empty, and an existing folder or file.
bool IsWatchable(const std::string& path);

}  // namespace offline
