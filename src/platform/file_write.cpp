#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

namespace platform {

namespace {

constexpr std::string_view kTempSuffix = ".tmp~";
constexpr std::size_t kTempUniqueChars = 6;  // mkstemp's XXXXXX
constexpr std::size_t kWriterBuffer = std::size_t{1} << 18;

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

std::atomic<uint64_t> g_syncs{0};
std::function<int(const std::filesystem::path&)> g_sync_fault;

// 0 or the errno of the failed sync; `data_only` leaves the times of the file unsynced.
int Sync(int fd, bool data_only) {
  ++g_syncs;
  return (data_only ? ::fdatasync(fd) : ::fsync(fd)) == 0 ? 0 : errno;
}

}  // namespace

void SetFolderSyncFault(std::function<int(const std::filesystem::path&)> fault) {
  g_sync_fault = std::move(fault);
}

int SyncFolder(const std::filesystem::path& folder) {
  if (g_sync_fault) {
    if (const int err = g_sync_fault(folder); err != 0) return err;
  }
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int err = Sync(fd, false);
  ::close(fd);
  // Some file systems cannot sync a folder; the data itself is already on the disk.
  return err == EINVAL ? 0 : err;
}

// Earlier versions wrote <name>.tmp~: their leftovers go too.
bool IsTemporaryName(std::string_view name) {
  return name.size() > kTempSuffix.size() &&
         name.substr(name.size() - kTempSuffix.size()) == kTempSuffix;
}

AtomicFileWriter::AtomicFileWriter(std::filesystem::path file) : file_(std::move(file)) {
  std::error_code ec;
  if (std::filesystem::is_directory(file_, ec)) {
    error_ = EISDIR;
    return;
  }
  temp_ = file_.string() + "." + std::string(kTempUniqueChars, 'X') + std::string(kTempSuffix);
  // O_EXCL under the hood: a name that exists, a planted link included, is never opened.
  fd_ = ::mkostemps(temp_.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
  if (fd_ < 0) {
    error_ = errno != 0 ? errno : EIO;
    return;
  }
  if (::fchmod(fd_, 0644) != 0) Fail(errno);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (fd_ >= 0 || prepared_) ::unlink(temp_.c_str());
}

void AtomicFileWriter::Flush() {
  if (error_ != 0 || buffer_.empty()) return;
  std::size_t done = 0;
  if (const int err = WriteAll(fd_, buffer_, done); err != 0) Fail(err);
  flushed_ += buffer_.size();
  buffer_.clear();
}

void AtomicFileWriter::Write(std::string_view bytes) {
  if (error_ != 0) return;
  if (buffer_.size() + bytes.size() > kWriterBuffer) {
    Flush();
    if (bytes.size() >= kWriterBuffer) {
      std::size_t done = 0;
      if (const int err = WriteAll(fd_, bytes, done); err != 0) Fail(err);
      flushed_ += bytes.size();
      return;
    }
  }
  if (buffer_.capacity() < kWriterBuffer) buffer_.reserve(kWriterBuffer);
  buffer_.append(bytes);
}

void AtomicFileWriter::WriteAt(uint64_t offset, std::string_view bytes) {
  if (error_ != 0) return;
  if (offset + bytes.size() > size()) {
    Fail(EINVAL);
    return;
  }
  // The part still in the buffer is patched there, the rest on the disk.
  std::size_t in_file = 0;
  if (offset < flushed_) {
    in_file = static_cast<std::size_t>(std::min<uint64_t>(bytes.size(), flushed_ - offset));
    for (std::size_t done = 0; done < in_file;) {
      const ssize_t n = ::pwrite(fd_, bytes.data() + done, in_file - done,
                                 static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail(errno);
        return;
      }
      done += static_cast<std::size_t>(n);
    }
  }
  if (in_file < bytes.size())
    std::memcpy(buffer_.data() + (offset + in_file - flushed_), bytes.data() + in_file,
                bytes.size() - in_file);
}

int AtomicFileWriter::Prepare() {
  if (prepared_) return error_;
  if (fd_ < 0) return error_ != 0 ? error_ : EBADF;
  Flush();
  // The data must be on the disk before the rename makes it the file of record.
  if (error_ == 0) {
    if (const int err = Sync(fd_, false); err != 0) Fail(err);
  }
  if (::close(fd_) != 0) Fail(errno);
  fd_ = -1;
  if (error_ != 0) {
    ::unlink(temp_.c_str());
    return error_;
  }
  prepared_ = true;
  return 0;
}

int AtomicFileWriter::Commit() {
  if (const int err = Prepare(); err != 0) return err;
  prepared_ = false;
  if (::rename(temp_.c_str(), file_.c_str()) != 0) Fail(errno);
  if (error_ != 0) {
    ::unlink(temp_.c_str());
    return error_;
  }
  in_place_ = true;
  error_ = SyncFolder(file_.parent_path());
  return error_;
}

uint64_t FileSyncCount() { return g_syncs.load(); }

int WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes) {
  AtomicFileWriter writer(file);
  writer.Write(bytes);
  return writer.Commit();
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
  if (err == 0 && sync) err = Sync(fd, true);
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
