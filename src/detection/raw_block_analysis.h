#pragma once
// Activity count of one channel's bin of raw levels: learns the channel's scale from the
// block, clips upward spikes in the caller's block, derives a detection trace below the
// upper envelope and counts the drops under it by one of four methods.
//
// Pure over its arguments: no settings are read, so the acquisition tick, the report's
// re-analysis and the offline browser all call it with their own values.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "detection/block_layout.h"

namespace detection {

// Detection methods, as stored in the project's `DSP_Method`.
enum DetectionMethod : int {
  kMethodWindowed = 0,    // at most one event per 30-sample window with a dip
  kMethodCrossings = 1,   // one event per downward crossing of the trace
  kMethodMotility = 2,    // one event per sustained excursion of the smoothed signal
  kMethodDrosophila = 3,  // crossings of the two-sample mean, trace scaled by the threshold
};

// What the analysis leaves for display: the trace of the channel last analysed and the
// marks of counted events. `Event_Marks` is never cleared here: a caller that wants
// one block's marks clears it between calls.
struct DetectionTraces {
  std::array<int16_t, kTraceEntries> Threshold_Trace{};
  std::array<int16_t, kTraceEntries> Event_Marks{};
};

// Takes the marks lines of an export in place of the ch<N>.raw files: for a caller
// that keeps the files open over many blocks, or that orders the lines of blocks
// analysed on several threads. Append returns false when the line could not be kept.
class MarksSink {
 public:
  virtual ~MarksSink() = default;
  virtual bool Append(int channel, int32_t time, std::span<const char> marks) = 0;
};

struct DetectionParams {
  int channel = 0;                // row of the block, and the number in the marks file name
  double threshold = 1.8;         // signal-to-noise factor
  int method = kMethodCrossings;  // 0..3; any other value counts nothing
  int export_flag = 0;            // exactly 1 appends the marks line to folder/ch<channel>.raw
  std::string folder;             // folder of the marks file
  int32_t time = 0;               // number that opens the marks line
  MarksSink* marks_sink = nullptr;  // when set, receives the export's lines (folder unused)
};

enum class DetectionError {
  kNone,
  kBlockTooSmall,     // the block does not hold samples 0..499 of the channel: nothing done
  kMarksWriteFailed,  // counted, but the marks line could not be appended
};

struct DetectionResult {
  int16_t count = 0;
  DetectionError error = DetectionError::kNone;
};

// Analyses samples 0..499 of params.channel. Samples above the clipping trace are lowered
// in `block` itself, so whatever is recorded or histogrammed afterwards sees them clipped.
DetectionResult AnalyzeRawBlock(std::span<int16_t> block, BlockLayout layout,
                                const DetectionParams& params, DetectionTraces& traces);

// The same for every channel of `channels` in turn (params.channel is not used):
// result k belongs to channels[k], `traces` ends as the last analysed channel leaves
// it and the event marks of all accumulate. Channels are worked on many at a time, so
// a whole plate costs far less than one call per channel. `results` holds at least
// channels.size() entries.
void AnalyzeRawBlocks(std::span<int16_t> block, BlockLayout layout, std::span<const int> channels,
                      const DetectionParams& params, std::span<DetectionResult> results,
                      DetectionTraces& traces);

// The same, also leaving each channel's own display: each[k] receives the trace and
// the event marks of channels[k] as AnalyzeRawBlock would leave them after analysing
// that channel alone (its Event_Marks, too, are only ever set to -1). For callers that
// show or use every channel's marks or trace, which one call per channel would give
// at many times the cost. `each` holds at least channels.size() entries.
void AnalyzeRawBlocks(std::span<int16_t> block, BlockLayout layout, std::span<const int> channels,
                      const DetectionParams& params, std::span<DetectionResult> results,
                      DetectionTraces& traces, std::span<DetectionTraces> each);

}  // namespace detection
