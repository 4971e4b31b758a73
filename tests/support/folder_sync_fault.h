#pragma once
// Folder syncs that fail with EIO while this lives: `count` of them from the `first`
// from now on (0 is the next one).
#include <cerrno>
#include <climits>

#include "platform/file_write.h"

namespace testsupport {

class FolderSyncFault {
 public:
  static constexpr int kEvery = INT_MAX;
  FolderSyncFault(int first, int count) {
    platform::SetFolderSyncFault([first, count, n = 0](const std::filesystem::path&) mutable {
      const int index = n++;
      return index >= first && index - first < count ? EIO : 0;
    });
  }
  ~FolderSyncFault() { platform::SetFolderSyncFault({}); }
  FolderSyncFault(const FolderSyncFault&) = delete;
  FolderSyncFault& operator=(const FolderSyncFault&) = delete;
};

}  // namespace testsupport
