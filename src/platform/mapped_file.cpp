#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace platform {

MappedFile::MappedFile(const std::filesystem::path& file, std::size_t bytes) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return;
  }
  size_ = std::min(bytes, static_cast<std::size_t>(st.st_size));
  if (size_ == 0) {
    ok_ = true;
    ::close(fd);
    return;
  }
  // Populated at once: the pages of a file in the cache are mapped in one go instead
  // of faulting in one by one.
  void* m = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (m != MAP_FAILED) {
    map_ = static_cast<const unsigned char*>(m);
    ok_ = true;
  } else {
    copy_.resize(size_);
    std::size_t got = 0;
    while (got < size_) {
      const ssize_t n = ::pread(fd, copy_.data() + got, size_ - got, static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    ok_ = got == size_;
    if (!ok_) copy_.clear();
  }
  ::close(fd);
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
