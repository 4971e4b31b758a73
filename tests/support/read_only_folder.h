#pragma once
// A folder made read-only while this lives: by its mode, or, for root (whom modes
// do not stop), by the immutable flag where the file system has one.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace testsupport {

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
    if (geteuid() != 0) {
      works_ = chmod(folder.c_str(), 0555) == 0;
      return;
    }
    fd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    works_ = fd_ >= 0 && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0 &&
             (flags |= FS_IMMUTABLE_FL, ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0);
  }
  ~ReadOnlyFolder() {
    if (geteuid() != 0) {
      chmod(folder_.c_str(), 0755);
      return;
    }
    int flags = 0;
    if (works_ && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd_, FS_IOC_SETFLAGS, &flags);
    }
    if (fd_ >= 0) close(fd_);
  }
  bool works() const { return works_; }

 private:
  std::filesystem::path folder_;
  int fd_ = -1;
  bool works_ = false;
};

}  // namespace testsupport
