#pragma once
// A file's bytes as read-only memory while the object lives: mapped where the system
// allows it (no copy), read whole otherwise. For large files read once, which nothing
// shortens meanwhile: a mapped file cut shorter under its reader ends the process.
#include <cstddef>
#include <filesystem>
#include <vector>

namespace platform {

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
