#pragma once
// What the channel-calibration window keeps of the levels it reads: for every window
// channel (0..383, 384 spare) the level and threshold of the last 600 samples in a
// ring, the sample the next read writes, the reads since the live view started and
// the peaks the zoom works out. Sample 0 doubles as the current reading of the block
// reads.
#include <array>
#include <cstdint>
#include <vector>

#include "storage/shared_state.h"

namespace service {

inline constexpr int kTraceSamples = 600;
// Columns per channel: 0..600, of which 0..599 are used.
inline constexpr int kTraceColumns = 601;

class ChannelTraces {
 public:
  ChannelTraces();

  int16_t& Level(int channel, int sample) { return level_[Index(channel, sample)]; }
  int16_t Level(int channel, int sample) const { return level_[Index(channel, sample)]; }
  int16_t& Threshold(int channel, int sample) { return threshold_[Index(channel, sample)]; }
  int16_t Threshold(int channel, int sample) const { return threshold_[Index(channel, sample)]; }
  int16_t Peak(int channel) const { return peak_[static_cast<size_t>(channel)]; }

  // Every level sample of every channel back to 0 (the threshold trace stays).
  void ClearLevels();
  // Sample s's threshold of every channel from the 11 most recent levels, once more
  // than 10 reads were made (see the .cpp); on the first such read the 11 samples
  // before s take the same value, so the trace starts level.
  void UpdateThresholdTrace(const storage::SharedState& s);
  // The next sample (599 is followed by 0) and one more read.
  void Advance();
  // The highest level of every channel over samples 1 .. sample index - 1, starting
  // from sample 1.
  void UpdatePeaks();

  int sample_index = 0;
  int32_t read_count = 0;

 private:
  static size_t Index(int channel, int sample) {
    return static_cast<size_t>(channel) * kTraceColumns + static_cast<size_t>(sample);
  }
  std::vector<int16_t> level_;
  std::vector<int16_t> threshold_;
  std::array<int16_t, storage::kTableSize> peak_{};
};

}  // namespace service
