#pragma once
// The analysis pass of a re-analysis: raw blocks 0..n-1 of a run counted on worker
// threads. The detection is pure, so the blocks are shared out one at a time to as
// many workers as there are cores, each with its own reader and block table; every
// block's counts land in their own row, so the result is the same whatever the
// number of workers. The marks lines of "Export Raw" reach their files in block order.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "reports/marks_files.h"
#include "storage/run_tables.h"

namespace reports {

struct BlockPassPlan {
  std::filesystem::path run_folder;
  int rt_buffer = 500;
  // Per block: the number that opens its marks lines (the record's stored minute).
  std::vector<int32_t> marks_times;
  std::vector<int> channels;  // the channels analysed, ascending
  double threshold = 1.8;
  int method = 1;
  size_t blocks() const { return marks_times.size(); }
};

enum class PassOutcome {
  kDone,         // every block analysed (and its marks written)
  kStopped,      // Stop() came first
  kReadFailed,   // a block could not be read (failed_block() says which)
  kMarksFailed,  // a marks file could not be written
  kNoMemory,     // a worker's tables could not be had
};

// What the pass shares with its owner while it runs.
class PassControl {
 public:
  // STOP: each worker ends after the block it holds.
  void Stop() { stop_.store(true); }
  bool StopRequested() const { return stop_.load(); }
  size_t Done() const { return done_.load(); }

 private:
  friend class BlockPassRun;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> done_{0};
};

// Runs the pass on the calling thread and `threads` - 1 more (0: one per core), and
// returns once every worker has ended. `counts` becomes (block, channel 0..384) with
// the analysed channels' counts and 0 elsewhere. With `marks` (open on plan.channels)
// each block's lines are appended to them in block order; the caller closes or cuts
// them back.
PassOutcome RunBlockPass(const BlockPassPlan& plan, MarksFiles* marks, int threads,
                         PassControl& control, storage::Table2D<int16_t>& counts,
                         size_t* failed_block = nullptr);

// Worker threads for `threads` (0: one per core) over `blocks` blocks: at least one,
// never more than there are blocks.
int PassThreads(int threads, size_t blocks);

}  // namespace reports
