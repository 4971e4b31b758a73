#pragma once
// The pinhole and gain scan test's numbers and files. Each of the 64 steps (power p
// 0..7 outer, gain g 0..7 inner) takes six readings of every window channel and
// appends, in the program folder:
//   test_bk.txt    "p=<p>,g=<g>", then "[r]" and " <level>" per channel for r = 0..5
//   test_mean.txt  "[p<p>,g<g>]" and " <mean>" per channel
//   test_desv.txt  "[p<p>,g<g>]" and " <mean absolute deviation>" per channel
// Lines end in CR LF; means and deviations are rounded half away from zero.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "storage/shared_state.h"

namespace service {

inline constexpr int kScanReadings = 6;
inline constexpr int kScanSteps = 64;
inline constexpr const char* kScanFiles[] = {"test_bk.txt", "test_mean.txt", "test_desv.txt"};

using ScanReadings = std::array<std::array<int16_t, storage::kChannelCount>, kScanReadings>;

struct ScanStats {
  std::array<double, storage::kChannelCount> mean{};
  std::array<double, storage::kChannelCount> deviation{};
};
ScanStats ComputeScanStats(const ScanReadings& readings);

// The three files' text for one step.
std::string ScanRawLines(int power, int gain, const ScanReadings& readings);
std::string ScanMeanLine(int power, int gain, const ScanStats& stats);
std::string ScanDeviationLine(int power, int gain, const ScanStats& stats);

// The program folder's test files removed (those that exist).
void DeleteScanFiles(const std::filesystem::path& folder);
// Appends to one of them, opened and closed at once; false when it could not.
bool AppendScanFile(const std::filesystem::path& file, const std::string& text);

}  // namespace service
