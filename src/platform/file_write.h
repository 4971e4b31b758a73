#pragma once
// Replacing a file so that a crash, a full disk or a failed write never leaves it
// half-written: the bytes go to a temporary file beside it, reach the disk, and are
// renamed over the old file in one step.
#include <filesystem>
#include <string_view>

namespace platform {

// 0 on success, else the errno of the first failure (the old file is then untouched
// and no temporary file is left).
int WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes);

}  // namespace platform
