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
#include <filesystem>
#include <string_view>

namespace platform {

// 0 on success, else the errno of the first failure (the old file is then untouched
// and no temporary file is left).
int WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes);

// Appends `bytes` to the end of `file` (created when missing) with one write; with
// `sync` the bytes (and a new file's folder entry) reach the disk before it returns.
// 0 or the errno of the failure; `written` tells how many bytes went in before it.
int AppendFile(const std::filesystem::path& file, std::string_view bytes, bool sync,
               std::size_t& written);

// True for a name WriteFileAtomic gives its temporaries (anything ending in ".tmp~").
bool IsTemporaryName(std::string_view name);
// Removes the temporaries a killed rewrite left directly inside `folder`; the number removed.
int RemoveStaleTemporaries(const std::filesystem::path& folder);

}  // namespace platform
