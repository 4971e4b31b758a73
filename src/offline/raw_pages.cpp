#include "offline/raw_pages.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <system_error>

namespace offline {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxFileNumberDigits = 9;  // 11 x n stays far inside 64 bits
constexpr std::size_t kMaxProblemLines = 5;

std::string FileProblem(int number, const std::string& what) {
  return "Raw data file " + storage::RawFileName(number) + " " + what;
}

// The first few problems as text; the rest are only counted, so a folder of many odd
// files costs no more memory than one of a few.
class ProblemList {
 public:
  void Add(std::string text) {
    if (shown_.size() < kMaxProblemLines) {
      shown_.push_back(std::move(text));
    } else {
      ++more_;
    }
  }
  std::string Text() const {
    std::string out;
    for (const std::string& line : shown_) out += (out.empty() ? "" : "\r\n") + line;
    if (more_ > 0) out += "\r\n...";
    return out;
  }

 private:
  std::vector<std::string> shown_;
  int64_t more_ = 0;
};

}  // namespace

std::string RawViewRefusal(int rt_buffer) {
  if (rt_buffer == kRawViewRtBuffer) return "";
  return "Raw data can only be shown for runs of " + std::to_string(kRawViewRtBuffer) +
         " samples per bin: this run has " + std::to_string(rt_buffer);
}

bool RawFileNumber(const std::string& name, int& number) {
  constexpr std::string_view kExt = ".bin";
  if (name.size() <= kExt.size() || name.compare(name.size() - kExt.size(), kExt.size(), kExt))
    return false;
  const std::string digits = name.substr(0, name.size() - kExt.size());
  if (digits.size() > kMaxFileNumberDigits) return false;
  if (digits.size() > 1 && digits[0] == '0') return false;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  number = n;
  return true;
}

RawFiles CountRawFiles(const fs::path& run_folder, int rt_buffer) {
  RawFiles out;
  const std::size_t record_bytes = storage::RawBlockRecordBytes(rt_buffer);
  std::map<int, std::uintmax_t> sizes;  // by file number, for the report in file order
  std::error_code ec;
  for (fs::directory_iterator it(run_folder, ec), end; !ec && it != end; it.increment(ec)) {
    int n = 0;
    if (!RawFileNumber(it->path().filename().string(), n)) continue;
    std::error_code size_ec;
    if (!it->is_regular_file(size_ec)) continue;
    const std::uintmax_t size = it->file_size(size_ec);
    sizes[n] = size_ec ? 0 : size;
  }
  out.files = static_cast<int>(sizes.size());
  if (sizes.empty() || record_bytes == 0) return out;

  // The run reaches as far as the last file that holds a whole block: a file without
  // one past it (a stray empty "999999999.bin") neither stretches the run nor makes
  // every number before it missing.
  int last_with_blocks = -1;
  for (const auto& [n, size] : sizes)
    if (size >= record_bytes) last_with_blocks = n;
  const int last = sizes.rbegin()->first;
  ProblemList problems;
  int expected = 0;
  for (const auto& [n, size] : sizes) {
    // Gaps are reported as ranges: a count of names, never one text per number.
    const int gap_end = std::min(n, last_with_blocks + 1);
    if (expected < gap_end) {
      problems.Add(gap_end - expected == 1
                       ? FileProblem(expected, "is missing: its blocks show as flat lines")
                       : "Raw data files " + storage::RawFileName(expected) + " to " +
                             storage::RawFileName(gap_end - 1) +
                             " are missing: their blocks show as flat lines");
    }
    expected = n + 1;
    const std::uintmax_t whole = size / record_bytes;
    const bool partial = size % record_bytes != 0;
    const int64_t records =
        static_cast<int64_t>(std::min<std::uintmax_t>(whole, storage::kRecordsPerFile));
    if (records > 0)
      out.records = std::max(out.records, int64_t{storage::kRecordsPerFile} * n + records);
    if (whole > storage::kRecordsPerFile || (partial && n != last)) {
      problems.Add(
          FileProblem(n, "does not match this run's block size: only its whole blocks are shown"));
    } else if (n < last_with_blocks && whole < storage::kRecordsPerFile) {
      problems.Add(FileProblem(n, "is truncated: its missing blocks show as flat lines"));
    }
  }
  out.pages = PageCount(out.records);
  out.problem = problems.Text();
  return out;
}

int PageCount(int64_t records) {
  if (records <= 0) return 0;
  return static_cast<int>((records + kPageBlocks - 1) / kPageBlocks);
}

int64_t PageBin(int page, int block) { return int64_t{kPageBlocks} * (page - 1) + block; }

void RawPage::CopySamples(int channel, int block, int16_t* out) const {
  const auto& b = blocks_[static_cast<std::size_t>(block)];
  if (b.empty()) {
    std::memset(out, 0, sizeof(int16_t) * kBlockSamples);
    return;
  }
  const int16_t* p = b.data() + channel;
  for (int s = 0; s < kBlockSamples; ++s) out[s] = p[std::size_t(s) * storage::kChannelSlots];
}

void RawPage::SetBlock(int block, std::vector<int16_t> levels) {
  constexpr std::size_t kRow = storage::kChannelSlots;
  auto& b = blocks_[static_cast<std::size_t>(block)];
  if (levels.size() < kRow * kDisplaySamples) {
    b.clear();
    return;
  }
  levels.resize(kRow * kDisplaySamples);
  std::copy_n(levels.begin() + (kDisplaySamples - 2) * kRow, kRow,
              levels.begin() + (kDisplaySamples - 1) * kRow);
  b = std::move(levels);
}

RawPage LoadRawPage(const fs::path& run_folder, int rt_buffer, const RawFiles& files, int page,
                    const std::function<void(int)>& progress) {
  RawPage out;
  out.page = page;
  for (int b = 0; b < kPageBlocks; ++b) {
    const int64_t bin = PageBin(page, b);
    storage::RawBlockRecord record(0);  // sized by the read
    if (bin >= 0 && bin < files.records && rt_buffer >= kBlockSamples &&
        storage::ReadRunRawBlock(run_folder, static_cast<std::size_t>(bin), rt_buffer,
                                     record)) {
      out.SetBlock(b, std::move(record.levels));
    }
    if (progress) progress(b + 1);
  }
  return out;
}

}  // namespace offline
