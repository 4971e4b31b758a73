#pragma once
// The per-channel marks file "ch<N>.raw": one line per analysed block, appended:
// the time in decimal, one space, 500 characters '0'/'1' (one per sample, '1' where an
// event was counted), CR LF. Nothing in the program reads it back.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace detection {

// "ch" + channel in decimal + ".raw" inside `folder`.
std::filesystem::path RawMarksPath(const std::string& folder, int channel);

// The bytes of one line.
std::string RawMarksLine(int32_t time, std::span<const char> marks);

// Appends one line in a single write; false when the folder is empty or the file
// cannot be opened or written.
bool AppendRawMarksLine(const std::string& folder, int channel, int32_t time,
                        std::span<const char> marks);

}  // namespace detection
