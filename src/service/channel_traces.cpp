#include "service/channel_traces.h"

#include <algorithm>

#include "platform/numeric.h"

namespace service {

namespace {
// The threshold follows the highest of this many recent levels.
constexpr int kEnvelopeSamples = 11;
}  // namespace

ChannelTraces::ChannelTraces()
    : level_(static_cast<size_t>(storage::kTableSize) * kTraceColumns, 0),
      threshold_(static_cast<size_t>(storage::kTableSize) * kTraceColumns, 0) {}

void ChannelTraces::ClearLevels() {
  std::fill(level_.begin(), level_.end(), int16_t{0});
}

void ChannelTraces::UpdateThresholdTrace(const storage::SharedState& s) {
  if (read_count < kEnvelopeSamples) return;
  const int k = sample_index;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    int highest = 0;
    for (int back = 0; back < kEnvelopeSamples; ++back) {
      const int i = (k - back + kTraceSamples) % kTraceSamples;
      highest = std::max<int>(highest, Level(ch, i));
    }
    const double value = highest * (100.0 - s.ThresholdAt(0, ch)) / 100.0;
    const int32_t rounded = platform::RoundToInt(value);
    Threshold(ch, k) = static_cast<int16_t>(std::clamp<int32_t>(rounded, -32768, 32767));
  }
  // The first trace value stands for the samples read before it. The ring need not
  // start at 0 (the live view keeps its place), so these are the 11 before k.
  if (read_count == kEnvelopeSamples) {
    for (int ch = 0; ch < storage::kChannelCount; ++ch) {
      for (int back = 1; back <= kEnvelopeSamples; ++back) {
        Threshold(ch, (k - back + kTraceSamples) % kTraceSamples) = Threshold(ch, k);
      }
    }
  }
}

void ChannelTraces::Advance() {
  sample_index = (sample_index + 1) % kTraceSamples;
  ++read_count;
}

void ChannelTraces::UpdatePeaks() {
  for (int ch = 0; ch < storage::kTableSize; ++ch) {
    int16_t peak = Level(ch, 1);
    for (int s = 1; s <= sample_index - 1; ++s) peak = std::max(peak, Level(ch, s));
    peak_[static_cast<size_t>(ch)] = peak;
  }
}

}  // namespace service
