#pragma once
// The raw levels a run saved, as the browser's raw views read them: the raw block files
// counted from their names and sizes, and one page of 50 consecutive bins. Display
// block b of page p is bin 50 (p - 1) + b of the run, which lies in file bin / 11 at
// record bin % 11 (the acquisition's own layout, read with its codec). The signal view
// draws a page, the re-analysis counts it again; the tracking reads bins directly.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "storage/run_files.h"

namespace offline {

inline constexpr int kPageBlocks = 50;       // display blocks on a page
inline constexpr int kBlockSamples = 500;    // samples of a block the views use
inline constexpr int kDisplaySamples = 501;  // 0..500; sample 500 repeats 499
inline constexpr int kPageSamples = kPageBlocks * kBlockSamples;  // 25,000
inline constexpr int kViewChannels = 384;  // channels 0..383 are shown and analysed
// The raw views show bins of exactly this many samples.
inline constexpr int kRawViewRtBuffer = storage::kDefaultRtBuffer;

// "" when the raw views can show a run recorded with `rt_buffer` samples per bin, else
// the message that refuses them.
std::string RawViewRefusal(int rt_buffer);

// The file number of a raw block file name: a number in plain decimal and ".bin"
// ("0.bin", "12.bin"); false for anything else ("counts.bin", "histo0000.bin", "007.bin").
bool RawFileNumber(const std::string& name, int& number);

struct RawFiles {
  int files = 0;        // raw block files found
  int64_t records = 0;  // bins they reach: 11 n + whole records of file n, the largest
  int pages = 0;        // PageCount(records)
  std::string problem;  // "" or the message about a file of another size
};

// Counts the raw block files of a run folder. A file's records come from its size; a
// trailing partial record of the last file (a run cut off mid-write) is ignored
// silently, any other file whose size is not up to 11 whole records is reported in
// `problem` (its whole records up to 11 are still read). The run ends with the last
// file holding a whole block; missing numbers before it are reported as ranges. The
// report keeps its first five problems and "..." for the rest.
RawFiles CountRawFiles(const std::filesystem::path& run_folder, int rt_buffer);

// Pages of 50 bins: ceil(records / 50); 0 without records.
int PageCount(int64_t records);
// The bin display block `block` of page `page` (from 1) shows.
int64_t PageBin(int page, int block);

// One page of levels: 50 display blocks of 501 rows of 385 channels in the record's
// order. A block whose bin has no whole record (a missing file, a page past the end)
// reads as zero.
class RawPage {
 public:
  RawPage() : blocks_(kPageBlocks) {}

  int page = 0;  // 0: nothing loaded

  int16_t Level(int channel, int block, int sample) const {
    const auto& b = blocks_[static_cast<std::size_t>(block)];
    return b.empty() ? int16_t{0}
                     : b[static_cast<std::size_t>(sample) * storage::kChannelSlots +
                         static_cast<std::size_t>(channel)];
  }
  // Samples 0..499 of a channel's block into out[0..499].
  void CopySamples(int channel, int block, int16_t* out) const;
  bool HasBlock(int block) const { return !blocks_[static_cast<std::size_t>(block)].empty(); }

  // Takes the levels of a record ((rt_buffer + 1) x 385, at least 500 rows) as display
  // block `block`: row 500 becomes a copy of row 499.
  void SetBlock(int block, std::vector<int16_t> levels);

 private:
  std::vector<std::vector<int16_t>> blocks_;
};

// Loads page `page` of a run whose raw files were counted as `files`. `progress`, when
// given, hears the number of blocks done after each one (1..50), so a window can show
// a bar while the page loads.
RawPage LoadRawPage(const std::filesystem::path& run_folder, int rt_buffer, const RawFiles& files,
                    int page, const std::function<void(int)>& progress = {});

}  // namespace offline
