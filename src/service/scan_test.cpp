#include "service/scan_test.h"

#include <cmath>
#include <fstream>
#include <system_error>

namespace service {

namespace {

// Unlike the rest of the program, these files round halves away from zero.
std::string Rounded(double x) { return std::to_string(std::llround(x)); }

std::string StepTag(int power, int gain) {
  return "[p" + std::to_string(power) + ",g" + std::to_string(gain) + "]";
}

template <class Value>
std::string Line(std::string head, const std::array<Value, storage::kChannelCount>& values,
                 std::string (*text)(Value)) {
  for (const Value& v : values) head += " " + text(v);
  return head + "\r\n";
}

std::string LevelText(int16_t v) { return std::to_string(v); }

}  // namespace

ScanStats ComputeScanStats(const ScanReadings& readings) {
  ScanStats stats;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    double sum = 0;
    for (const auto& r : readings) sum += r[static_cast<size_t>(ch)];
    const double mean = sum / kScanReadings;
    double spread = 0;
    for (const auto& r : readings) spread += std::fabs(mean - r[static_cast<size_t>(ch)]);
    stats.mean[static_cast<size_t>(ch)] = mean;
    stats.deviation[static_cast<size_t>(ch)] = spread / kScanReadings;
  }
  return stats;
}

std::string ScanRawLines(int power, int gain, const ScanReadings& readings) {
  std::string text = "p=" + std::to_string(power) + ",g=" + std::to_string(gain) + "\r\n";
  for (int r = 0; r < kScanReadings; ++r) {
    text += Line<int16_t>("[" + std::to_string(r) + "]", readings[static_cast<size_t>(r)], LevelText);
  }
  return text;
}

std::string ScanMeanLine(int power, int gain, const ScanStats& stats) {
  return Line<double>(StepTag(power, gain), stats.mean, Rounded);
}

std::string ScanDeviationLine(int power, int gain, const ScanStats& stats) {
  return Line<double>(StepTag(power, gain), stats.deviation, Rounded);
}

void DeleteScanFiles(const std::filesystem::path& folder) {
  for (const char* name : kScanFiles) {
    std::error_code ec;
    std::filesystem::remove(folder / name, ec);
  }
}

bool AppendScanFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace service
