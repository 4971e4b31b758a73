#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace platform {

namespace {

constexpr std::string_view kTempSuffix = ".tmp~";
constexpr std::size_t kTempUniqueChars = 6;  // mkstemp's XXXXXX

int WriteAll(int fd, std::string_view bytes, std::size_t& done) {
  done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// A rename or a new name is only durable once its folder reached the disk.
int SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int err = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  // Some file systems cannot sync a folder; the data itself is already on the disk.
  return err == EINVAL ? 0 : err;
}

}  // namespace

// Earlier versions wrote <name>.tmp~: their leftovers go too.
bool IsTemporaryName(std::string_view name) {
  return name.size() > kTempSuffix.size() &&
         name.substr(name.size() - kTempSuffix.size()) == kTempSuffix;
}

int WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) return EISDIR;
  std::string temp =
      file.string() + "." + std::string(kTempUniqueChars, 'X') + std::string(kTempSuffix);
  // O_EXCL under the hood: a name that exists, a planted link included, is never opened.
  const int fd = ::mkostemps(temp.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
  if (fd < 0) return errno != 0 ? errno : EIO;
  std::size_t done = 0;
  int err = ::fchmod(fd, 0644) == 0 ? 0 : errno;
  if (err == 0) err = WriteAll(fd, bytes, done);
  // The data must be on the disk before the rename makes it the file of record.
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), file.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    return err;
  }
  return SyncFolder(file.parent_path());
}

int AppendFile(const std::filesystem::path& file, std::string_view bytes, bool sync,
               std::size_t& written) {
  written = 0;
  bool created = true;
  int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) return errno != 0 ? errno : EIO;
  int err = WriteAll(fd, bytes, written);
  if (err == 0 && sync && ::fdatasync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && sync && created) err = SyncFolder(file.parent_path());
  return err;
}

int RemoveStaleTemporaries(const std::filesystem::path& folder) {
  std::error_code ec;
  int removed = 0;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsTemporaryName(name)) continue;
    std::error_code type_ec;
    if (it->symlink_status(type_ec).type() == std::filesystem::file_type::directory) continue;
    std::error_code rm_ec;
    if (std::filesystem::remove(it->path(), rm_ec)) ++removed;
  }
  return removed;
}

}  // namespace platform
