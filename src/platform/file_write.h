#pragma once
// Writing files so that a crash, a kill, a power loss or a full disk never leaves
// one half-written.
//
// A rewrite goes to a temporary file beside the target, named <name>.XXXXXX.tmp~
// and created exclusively (never through a planted link, never shared by two
// writers); it reaches the disk, is renamed over the target, and the folder is
// synced so the rename itself survives a power loss. A kill in between leaves only
// the temporary, which RemoveStaleTemporaries clears at the next start.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// 0 on success, else the errno of the first failure (the old file is then untouched
// and no temporary file is left).
int WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes);

// The same rewrite for a file made piece by piece, so a large file never has to be
// held in memory whole. Nothing reaches `file` until Commit; a writer dropped
// without a successful Commit removes its temporary.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path file);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Appends bytes (buffered). After a failure further writes do nothing.
  void Write(std::string_view bytes);
  // Overwrites bytes already written, at `offset` from the start (a header whose
  // sizes are known only afterwards).
  void WriteAt(uint64_t offset, std::string_view bytes);
  // Bytes written so far.
  uint64_t size() const { return flushed_ + buffer_.size(); }
  // The errno of the first failure, 0 while all is well.
  int error() const { return error_; }
  // Puts the file in place; returns error(). Unless in_place(), the old file is
  // untouched; after the rename, only the folder's sync can have failed.
  int Commit();
  // True once Commit renamed the new file over the old one.
  bool in_place() const { return in_place_; }
  // The first half of Commit: the temporary reaches the disk, the target is not yet
  // touched. Several files prepared first can then be committed together with only
  // renames left to fail. Returns error().
  int Prepare();
  // The temporary's path, which Commit renames to the file.
  const std::string& temporary() const { return temp_; }
  // A prepared temporary stays on the disk when the writer goes: it has been renamed
  // by other means, or a list of renames still names it.
  void Keep() { prepared_ = false; }

 private:
  void Flush();
  void Fail(int err) {
    if (error_ == 0) error_ = err;
  }

  std::filesystem::path file_;
  std::string temp_;
  int fd_ = -1;
  int error_ = 0;
  bool prepared_ = false;  // on the disk, waiting for its rename
  bool in_place_ = false;
  uint64_t flushed_ = 0;
  std::string buffer_;
};

// Appends `bytes` to the end of `file` (created when missing) with one write; with
// `sync` the bytes (and a new file's folder entry) reach the disk before it returns.
// 0 or the errno of the failure; `written` tells how many bytes went in before it.
int AppendFile(const std::filesystem::path& file, std::string_view bytes, bool sync,
               std::size_t& written);

// A rename or a new name is only durable once its folder reached the disk: 0 or the errno.
int SyncFolder(const std::filesystem::path& folder);
// For tests: while set, `fault` is asked before every folder sync, and an errno it
// returns is that sync's result (0 lets the sync run). An empty function removes it.
void SetFolderSyncFault(std::function<int(const std::filesystem::path&)> fault);

// Files and folders this process has synced to the disk so far.
uint64_t FileSyncCount();

// True for a name WriteFileAtomic gives its temporaries (anything ending in ".tmp~").
bool IsTemporaryName(std::string_view name);
// Removes the temporaries a killed rewrite left directly inside `folder`; the number removed.
int RemoveStaleTemporaries(const std::filesystem::path& folder);

}  // namespace platform
