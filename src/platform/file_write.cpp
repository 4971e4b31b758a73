#include "platform/file_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform {

int WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) return EISDIR;
  std::filesystem::path temp = file;
  temp += ".tmp~";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno != 0 ? errno : EIO;
  int err = 0;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    done += static_cast<size_t>(n);
  }
  // The data must be on the disk before the rename makes it the file of record.
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), file.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    return err;
  }
  return 0;
}

}  // namespace platform
