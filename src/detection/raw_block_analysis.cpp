#include "detection/raw_block_analysis.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "detection/lane_kernel.h"
#include "detection/marks_file.h"

namespace detection {
namespace {

using internal::kLanes;
using internal::LaneBlock;
using internal::LaneResults;

constexpr int kN = kBlockSamples;

// The channels of one pass through the lanes.
class LaneBatch {
 public:
  LaneBatch(const internal::LaneKernelVersion& kernel, std::span<int16_t> block,
            BlockLayout layout, const DetectionParams& params,
            std::span<DetectionResult> results, DetectionTraces& traces,
            std::span<DetectionTraces> each)
      : kernel_(kernel),
        block_(block),
        layout_(layout),
        params_(params),
        results_(results),
        traces_(traces),
        each_(each) {
    static thread_local std::unique_ptr<LaneBlock> lanes(new LaneBlock);
    static thread_local std::unique_ptr<LaneResults> out(new LaneResults);
    lanes_ = lanes.get();
    out_ = out.get();
  }

  // Adds channel `channel` whose result goes to `slot`; a channel already waiting is
  // analysed first, so it sees its own clipped samples as it would one call after another.
  void Add(int channel, size_t slot) {
    if (std::find(channel_, channel_ + count_, channel) != channel_ + count_) Run();
    channel_[count_] = channel;
    slot_[count_] = slot;
    if (++count_ == kLanes) Run();
  }

  void Run() {
    if (count_ == 0) return;
    Gather();
    kernel_.analyze(*lanes_, params_.threshold, params_.method,
                    each_.empty() ? count_ - 1 : internal::kEveryLane, *out_);
    const std::size_t stride = layout_.sample_stride;
    const unsigned active = (1u << count_) - 1;
    // Only lowered samples go back to the caller's block.
    for (int i = 0; i < kN; ++i) {
      for (unsigned bits = out_->lowered[i] & active; bits != 0; bits &= bits - 1) {
        const int l = std::countr_zero(bits);
        Column(l)[i * stride] = lanes_->level[i][l];
      }
    }
    const int method = params_.method;
    const bool marks_shown =
        method == kMethodWindowed || method == kMethodCrossings || method == kMethodDrosophila;
    if (marks_shown) {
      for (int i = 0; i < kN; ++i)
        if (out_->marks[i] & active) traces_.Event_Marks[i] = -1;
    }
    for (int l = 0; l < count_; ++l) {
      if (!each_.empty()) {
        DetectionTraces& own = each_[slot_[l]];
        if (marks_shown) {
          for (int i = 0; i < kN; ++i)
            if (out_->marks[i] >> l & 1) own.Event_Marks[i] = -1;
        }
        KeepTrace(l, own.Threshold_Trace);
      }
      DetectionResult& r = results_[slot_[l]];
      r.count = static_cast<int16_t>(out_->count[l]);
      r.error = DetectionError::kNone;
      if (params_.export_flag == 1) {
        char marks[kN];
        for (int i = 0; i < kN; ++i) marks[i] = (out_->marks[i] >> l & 1) ? '1' : '0';
        const std::span<const char> line(marks, kN);
        const bool kept = params_.marks_sink
                              ? params_.marks_sink->Append(channel_[l], params_.time, line)
                              : AppendRawMarksLine(params_.folder, channel_[l], params_.time, line);
        if (!kept) r.error = DetectionError::kMarksWriteFailed;
      }
    }
    // The display keeps the trace of the channel analysed last.
    KeepTrace(count_ - 1, traces_.Threshold_Trace);
    count_ = 0;
  }

 private:
  void KeepTrace(int lane, std::array<int16_t, kTraceEntries>& trace) const {
    const int method = params_.method;
    if (method != kMethodWindowed && method != kMethodCrossings && method != kMethodMotility &&
        method != kMethodDrosophila)
      return;
    for (int i = method == kMethodMotility ? 1 : 0; i < kN; ++i) trace[i] = out_->trace[lane][i];
  }

  int16_t* Column(int lane) const {
    return block_.data() + static_cast<std::size_t>(channel_[lane]) * layout_.channel_stride;
  }

  // The lanes' levels; lanes without a channel stay at 0.
  void Gather() {
    auto& level = lanes_->level;
    const std::size_t stride = layout_.sample_stride;
    if (count_ < kLanes) std::memset(level, 0, sizeof level);
    bool side_by_side = layout_.channel_stride == 1;
    for (int l = 1; l < count_ && side_by_side; ++l)
      side_by_side = channel_[l] == channel_[0] + l;
    if (side_by_side && count_ == kLanes) {
      // A plate's channels in a row of a sample-major block: one copy per sample.
      const int16_t* first = Column(0);
      for (int i = 0; i < kN; ++i) std::memcpy(level[i], first + i * stride, sizeof level[i]);
    } else if (stride == 1) {
      for (int l = 0; l < count_; ++l) {
        const int16_t* column = Column(l);
        for (int i = 0; i < kN; ++i) level[i][l] = column[i];
      }
    } else {
      const int16_t* base = block_.data();
      std::size_t offset[kLanes];
      for (int l = 0; l < count_; ++l) offset[l] = static_cast<std::size_t>(Column(l) - base);
      for (int i = 0; i < kN; ++i) {
        const int16_t* row = base + i * stride;
        for (int l = 0; l < count_; ++l) level[i][l] = row[offset[l]];
      }
    }
  }

  const internal::LaneKernelVersion& kernel_;
  std::span<int16_t> block_;
  BlockLayout layout_;
  const DetectionParams& params_;
  std::span<DetectionResult> results_;
  DetectionTraces& traces_;
  std::span<DetectionTraces> each_;
  LaneBlock* lanes_;
  LaneResults* out_;
  int channel_[kLanes] = {};
  size_t slot_[kLanes] = {};
  int count_ = 0;
};

}  // namespace

namespace internal {

void AnalyzeRawBlocksWith(const LaneKernelVersion& kernel, std::span<int16_t> block,
                          BlockLayout layout, std::span<const int> channels,
                          const DetectionParams& params, std::span<DetectionResult> results,
                          DetectionTraces& traces, std::span<DetectionTraces> each) {
  LaneBatch batch(kernel, block, layout, params, results, traces, each);
  size_t n = std::min(channels.size(), results.size());
  if (!each.empty()) n = std::min(n, each.size());
  for (size_t k = 0; k < n; ++k) {
    if (!HoldsChannel(block.size(), layout, channels[k])) {
      results[k] = {0, DetectionError::kBlockTooSmall};
      continue;
    }
    batch.Add(channels[k], k);
  }
  batch.Run();
}

}  // namespace internal

void AnalyzeRawBlocks(std::span<int16_t> block, BlockLayout layout, std::span<const int> channels,
                      const DetectionParams& params, std::span<DetectionResult> results,
                      DetectionTraces& traces) {
  internal::AnalyzeRawBlocksWith(internal::FastestLaneKernel(), block, layout, channels, params,
                                 results, traces);
}

void AnalyzeRawBlocks(std::span<int16_t> block, BlockLayout layout, std::span<const int> channels,
                      const DetectionParams& params, std::span<DetectionResult> results,
                      DetectionTraces& traces, std::span<DetectionTraces> each) {
  internal::AnalyzeRawBlocksWith(internal::FastestLaneKernel(), block, layout, channels, params,
                                 results, traces, each);
}

DetectionResult AnalyzeRawBlock(std::span<int16_t> block, BlockLayout layout,
                                const DetectionParams& params, DetectionTraces& traces) {
  DetectionResult result;
  const int channel = params.channel;
  AnalyzeRawBlocks(block, layout, std::span<const int>(&channel, 1), params,
                   std::span<DetectionResult>(&result, 1), traces);
  return result;
}

}  // namespace detection
