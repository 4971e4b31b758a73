#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace platform {

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& file) {
  // Non-blocking, so that opening a FIFO returns at once; fstat then tells what it is.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error_ = errno;
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = EINVAL;
    ::close(fd);
    return;
  }
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile() { Close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept { *this = std::move(other); }

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    error_ = std::exchange(other.error_, 0);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void ReadOnlyFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

std::int64_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* out, std::size_t bytes) const {
  if (fd_ < 0) return -1;
  auto* p = static_cast<unsigned char*>(out);
  std::size_t got = 0;
  while (got < bytes) {
    const ssize_t n = ::pread(fd_, p + got, bytes - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(got);
}

MappedFile::MappedFile(const std::filesystem::path& file, std::size_t bytes) {
  const ReadOnlyFile in(file);
  if (!in.ok()) return;
  size_ = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, in.size()));
  if (size_ == 0) {
    ok_ = true;
    return;
  }
  // Populated at once: the pages of a file in the cache are mapped in one go instead
  // of faulting in one by one.
  void* m = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, in.fd(), 0);
  if (m != MAP_FAILED) {
    map_ = static_cast<const unsigned char*>(m);
    ok_ = true;
  } else {
    copy_.resize(size_);
    ok_ = in.ReadAt(0, copy_.data(), size_) == static_cast<std::int64_t>(size_);
    if (!ok_) copy_.clear();
  }
}

MappedFile::~MappedFile() { Release(); }

MappedFile::MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Release();
    map_ = std::exchange(other.map_, nullptr);
    copy_ = std::move(other.copy_);
    size_ = std::exchange(other.size_, 0);
    ok_ = std::exchange(other.ok_, false);
  }
  return *this;
}

void MappedFile::Release() {
  if (map_) ::munmap(const_cast<unsigned char*>(map_), size_);
  map_ = nullptr;
  copy_.clear();
  size_ = 0;
  ok_ = false;
}

}  // namespace platform
