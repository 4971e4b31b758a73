#include "reports/block_pass.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <span>
#include <string>
#include <system_error>
#include <thread>

#include "detection/marks_file.h"
#include "detection/raw_block_analysis.h"
#include "storage/run_files.h"

namespace reports {

namespace {

// Blocks a worker may run ahead of the oldest block whose marks are not yet written,
// per worker: keeps the lines waiting for their turn to a few blocks' worth.
constexpr size_t kMarksLeadPerWorker = 4;

// One block's marks lines, in the order of the plan's channels.
class BlockMarks final : public detection::MarksSink {
 public:
  explicit BlockMarks(const std::vector<int>& channels) : channels_(channels) {}
  void Begin() {
    bytes_.clear();
    ends_.clear();
  }
  bool Append(int channel, int32_t time, std::span<const char> marks) override {
    if (ends_.size() >= channels_.size() || channels_[ends_.size()] != channel) return false;
    bytes_ += detection::RawMarksLine(time, marks);
    ends_.push_back(bytes_.size());
    return true;
  }
  bool Complete() const { return ends_.size() == channels_.size(); }
  std::string bytes_;
  std::vector<size_t> ends_;

 private:
  const std::vector<int>& channels_;
};

}  // namespace

class BlockPassRun {
 public:
  BlockPassRun(const BlockPassPlan& plan, MarksFiles* marks, int workers, PassControl& control,
               storage::Table2D<int16_t>& counts)
      : plan_(plan),
        marks_(marks),
        lead_(kMarksLeadPerWorker * size_t(workers)),
        control_(control),
        counts_(counts) {}

  void Work() {
    try {
      WorkOn();
    } catch (const std::bad_alloc&) {
      Fail(PassOutcome::kNoMemory, 0);
    }
  }

  PassOutcome outcome() const {
    if (failure_ != PassOutcome::kDone) return failure_;
    return control_.StopRequested() ? PassOutcome::kStopped : PassOutcome::kDone;
  }
  size_t failed_block() const { return failed_block_; }

 private:
  struct Lines {
    std::string bytes;
    std::vector<size_t> ends;
  };

  void WorkOn() {
    const size_t n = plan_.blocks();
    storage::RunRawBlockReader reader(plan_.run_folder, plan_.rt_buffer);
    std::vector<int16_t> block(reader.block_bytes() / sizeof(int16_t));
    std::vector<detection::DetectionResult> results(plan_.channels.size());
    detection::DetectionTraces traces;
    BlockMarks lines(plan_.channels);
    detection::DetectionParams params;
    params.threshold = plan_.threshold;
    params.method = plan_.method;
    params.export_flag = marks_ ? 1 : 0;
    params.marks_sink = &lines;
    for (;;) {
      if (Ending()) return;
      const size_t k = next_.fetch_add(1);
      if (k >= n || !AwaitTurn(k)) return;
      if (!reader.Read(k, block.data())) {
        Fail(PassOutcome::kReadFailed, k);
        return;
      }
      params.time = plan_.marks_times[k];
      lines.Begin();
      detection::AnalyzeRawBlocks(block, detection::SampleMajor(storage::kChannelSlots),
                                  plan_.channels, params, results, traces);
      int16_t* row = counts_.row(k);
      for (size_t i = 0; i < plan_.channels.size(); ++i)
        row[static_cast<size_t>(plan_.channels[i])] = results[i].count;
      if (marks_ && !Commit(k, lines)) return;
      control_.done_.fetch_add(1);
    }
  }

  bool Ending() const { return control_.StopRequested() || failed_.load(); }

  void Fail(PassOutcome why, size_t block) {
    std::lock_guard lock(mutex_);
    if (!failed_.load()) {
      failure_ = why;
      failed_block_ = block;
      failed_.store(true);
    }
    turn_.notify_all();
  }

  // Waits while block k is too far ahead of the marks written; false when the pass ends.
  bool AwaitTurn(size_t k) {
    if (!marks_) return true;
    std::unique_lock lock(mutex_);
    while (k >= next_to_write_ + lead_) {
      if (Ending()) return false;
      // A STOP raises no notification: look again now and then.
      turn_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return !Ending();
  }

  // Hands block k's lines over. One worker at a time writes: it takes every block that
  // is next in order and writes it outside the lock, so the others go on analysing.
  bool Commit(size_t k, BlockMarks& lines) {
    if (!lines.Complete()) {
      Fail(PassOutcome::kMarksFailed, k);
      return false;
    }
    std::unique_lock lock(mutex_);
    waiting_.emplace(k, Lines{std::move(lines.bytes_), std::move(lines.ends_)});
    if (writing_) return true;
    writing_ = true;
    while (!waiting_.empty() && waiting_.begin()->first == next_to_write_ && !failed_.load()) {
      const Lines ready = std::move(waiting_.begin()->second);
      waiting_.erase(waiting_.begin());
      lock.unlock();
      const bool written = Write(ready);
      lock.lock();
      if (!written) {
        failure_ = PassOutcome::kMarksFailed;
        failed_block_ = next_to_write_;
        failed_.store(true);
        break;
      }
      ++next_to_write_;
      turn_.notify_all();
    }
    writing_ = false;
    turn_.notify_all();
    return !failed_.load();
  }

  bool Write(const Lines& ready) {
    size_t start = 0;
    for (size_t i = 0; i < ready.ends.size(); ++i) {
      if (!marks_->Append(i, std::string_view(ready.bytes.data() + start, ready.ends[i] - start)))
        return false;
      start = ready.ends[i];
    }
    return true;
  }

  const BlockPassPlan& plan_;
  MarksFiles* marks_;
  const size_t lead_;
  PassControl& control_;
  storage::Table2D<int16_t>& counts_;
  std::atomic<size_t> next_{0};
  std::atomic<bool> failed_{false};
  std::mutex mutex_;
  std::condition_variable turn_;
  std::map<size_t, Lines> waiting_;
  size_t next_to_write_ = 0;
  bool writing_ = false;  // a worker is writing blocks in order
  PassOutcome failure_ = PassOutcome::kDone;
  size_t failed_block_ = 0;
};

int PassThreads(int threads, size_t blocks) {
  size_t t = threads > 0 ? static_cast<size_t>(threads) : std::thread::hardware_concurrency();
  t = std::min(std::max<size_t>(t, 1), std::max<size_t>(blocks, 1));
  return static_cast<int>(t);
}

PassOutcome RunBlockPass(const BlockPassPlan& plan, MarksFiles* marks, int threads,
                         PassControl& control, storage::Table2D<int16_t>& counts,
                         size_t* failed_block) {
  counts = storage::Table2D<int16_t>(plan.blocks(), storage::kRunChannelEntries, 0);
  const int workers = PassThreads(threads, plan.blocks());
  BlockPassRun run(plan, marks, workers, control, counts);
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<size_t>(workers - 1));
  for (int w = 1; w < workers; ++w) {
    try {
      helpers.emplace_back([&run] { run.Work(); });
    } catch (const std::system_error&) {
      break;  // fewer workers do the same work
    }
  }
  run.Work();
  for (std::thread& t : helpers) t.join();
  if (failed_block) *failed_block = run.failed_block();
  return run.outcome();
}

}  // namespace reports
