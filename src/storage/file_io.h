#pragma once
// Whole-file reads, rewrites that never leave a half-written file behind, and the
// two general file operations of the storage code: a checked copy and a line count.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace storage {

// The bytes of a regular file; nullopt when it is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

// Writes `bytes` to a temporary file beside `file` and renames it into place, so a
// crash or a full disk leaves the previous file whole. False on any failure.
bool WriteFileAtomic(const std::filesystem::path& file, const std::string& bytes);

// True for an existing regular file (or a link to one).
bool FileExists(const std::filesystem::path& file);

// folder joined with a file name; folder may be given with or without a trailing separator.
std::filesystem::path InFolder(const std::string& folder, const std::string& name);

// Copies source over destination (replacing it): 1, or -1 on any failure (missing
// source, unwritable destination). Never throws, shows nothing.
int16_t CopyFileChecked(const std::string& source, const std::string& destination);

// The lines of a text (CR, LF or CR LF end a line; a last line without a line break
// counts), without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Number of lines of a text file (CR, LF or CR LF end a line; a last line without
// a line break counts); 0 when the file cannot be read.
int CountFileLines(const std::string& path);

}  // namespace storage
