#pragma once
// How one channel's samples sit inside a caller's block of raw levels. The acquisition
// keeps a bin sample by sample (385 levels per sample, the raw record's order); other
// callers hold a channel's samples side by side. The analysis only needs sample i of
// one channel, read and written in place.
#include <cstddef>
#include <cstdint>
#include <span>

namespace detection {

// Samples of one channel analysed per bin.
inline constexpr int kBlockSamples = 500;
// Entries of the display arrays (0..500; entry 500 is never written by the analysis).
inline constexpr int kTraceEntries = 501;
// Histogram cells written by the peak-interval histogram (0..49).
inline constexpr int kHistogramCells = 50;

// Level of channel c at sample s is block[c * channel_stride + s * sample_stride], for
// c below `channels`.
struct BlockLayout {
  std::size_t channel_stride = 1;
  std::size_t sample_stride = 1;
  std::size_t channels = static_cast<std::size_t>(-1);  // no limit but the block's size
};

// A block stored sample after sample, `channels` levels per sample.
constexpr BlockLayout SampleMajor(std::size_t channels) { return {1, channels, channels}; }
// A block stored channel after channel, `samples` (at least 500) levels per channel.
constexpr BlockLayout ChannelMajor(std::size_t samples) {
  return {samples, 1,
          samples < static_cast<std::size_t>(kBlockSamples) ? 0 : static_cast<std::size_t>(-1)};
}

// True when samples 0..499 of `channel` lie inside a block of `block_size` levels.
inline bool HoldsChannel(std::size_t block_size, BlockLayout layout, int channel) {
  if (channel < 0 || layout.sample_stride == 0) return false;
  const std::size_t c = static_cast<std::size_t>(channel);
  if (c >= layout.channels) return false;
  // Guard the index arithmetic itself against wrapping on absurd strides.
  if (layout.channel_stride != 0 && c > block_size / layout.channel_stride) return false;
  if (layout.sample_stride > block_size) return false;
  const std::size_t first = c * layout.channel_stride;
  const std::size_t last =
      first + static_cast<std::size_t>(kBlockSamples - 1) * layout.sample_stride;
  return first < block_size && last < block_size && last >= first;
}

}  // namespace detection
