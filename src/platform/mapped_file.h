#pragma once
// Reading the program's files. Every reader opens through ReadOnlyFile, which takes
// regular files only and never waits: a FIFO or a device put where a file is expected
// (a "1.bin" made with mkfifo) is refused at once instead of blocking the window until
// a writer comes.
//
// MappedFile: a file's bytes as read-only memory while the object lives: mapped where
// the system allows it (no copy), read whole otherwise. For large files read once,
// which nothing shortens meanwhile: a mapped file cut shorter under its reader ends
// the process.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace platform {

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  // Opens `file` for reading; not ok() when it is missing, unreadable or not a regular
  // file.
  explicit ReadOnlyFile(const std::filesystem::path& file);
  ~ReadOnlyFile();
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  // Why it is not ok(): the errno of the open, EINVAL for what is not a regular file.
  int error() const { return error_; }
  // The file's size when it was opened.
  std::uint64_t size() const { return size_; }
  // Up to `bytes` bytes from `offset` into `out`: the count read, short only at the
  // end of the file; -1 on a read error.
  std::int64_t ReadAt(std::uint64_t offset, void* out, std::size_t bytes) const;
  int fd() const { return fd_; }
  void Close();

 private:
  int fd_ = -1;
  int error_ = 0;
  std::uint64_t size_ = 0;
};

class MappedFile {
 public:
  MappedFile() = default;
  // The first `bytes` bytes of `file` (all of it when the file is shorter).
  MappedFile(const std::filesystem::path& file, std::size_t bytes);
  ~MappedFile();
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // False when the file could not be opened or read.
  bool ok() const { return ok_; }
  // Aligned at least as a double is.
  const unsigned char* data() const { return map_ ? map_ : copy_.data(); }
  std::size_t size() const { return size_; }

 private:
  void Release();

  const unsigned char* map_ = nullptr;
  std::vector<unsigned char> copy_;
  std::size_t size_ = 0;
  bool ok_ = false;
};

}  // namespace platform
