#pragma once
// Whole-file reads, rewrites that never leave a half-written file behind, and the
// two general file operations of the storage code: a checked copy and a line count.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace storage {

// The bytes of a regular file; nullopt when it is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

// The largest settings text or list the program reads. The files it writes are a few
// kB (a channel table, the longest, about 8 kB); one past this is not one of them and
// is refused unread, rather than taking the time and the memory its size would.
inline constexpr std::uint64_t kTextFileLimit = std::uint64_t{16} << 20;

// A text file read whole unless it is past kTextFileLimit.
struct TextFile {
  std::optional<std::string> bytes;  // nullopt when not read
  int error = 0;                     // the errno of a failed open or read
  std::uint64_t refused_size = 0;    // the size of a file refused as too large
};
TextFile ReadTextFileQuietly(const std::filesystem::path& file);
// The bytes of a settings text or of a list the program keeps; nullopt when it is
// missing, cannot be read or is past kTextFileLimit. A file refused for its size is
// told to the user by its name and size (once a session for one file and size: runs
// and projects are read again and again).
std::optional<std::string> ReadTextFile(const std::filesystem::path& file);
// What the user is told of a file refused for its size.
std::string TooLargeText(const std::filesystem::path& file, std::uint64_t size);
// Why a file operation failed, for a message: "a full disk or a read-only folder" for
// the errors those give, the system's text for any other.
std::string FileErrorText(int error);

// Writes `bytes` to a temporary file beside `file` and renames it into place, so a
// crash or a full disk leaves the previous file whole. False on any failure.
bool WriteFileAtomic(const std::filesystem::path& file, const std::string& bytes);

// True for an existing regular file (or a link to one).
bool FileExists(const std::filesystem::path& file);

// folder joined with a file name; folder may be given with or without a trailing separator.
std::filesystem::path InFolder(const std::string& folder, const std::string& name);

// Copies the settings text source over destination (replacing it): 1, or -1 on any
// failure (missing source, unwritable destination). Never throws; shows only what
// ReadTextFile shows.
int16_t CopyFileChecked(const std::string& source, const std::string& destination);

// The lines of a text (CR, LF or CR LF end a line; a last line without a line break
// counts), without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Number of lines of a text file (CR, LF or CR LF end a line; a last line without
// a line break counts); 0 when the file cannot be read (ReadTextFile).
int CountFileLines(const std::string& path);

}  // namespace storage
