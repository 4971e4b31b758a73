#pragma once
// The per-channel marks files ("ch<N>.raw") of a re-analysis with "Export Raw": one
// buffered stream per file, open for the whole pass, so a run of thousands of blocks
// does not open every file once per block. A pass that does not end well puts every
// file back to the size it had (a file the pass created goes again): a stopped or
// failed re-analysis leaves the run folder as it was.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

namespace reports {

class MarksFiles {
 public:
  MarksFiles() = default;
  // Files not kept (Keep) are cut back.
  ~MarksFiles();
  MarksFiles(const MarksFiles&) = delete;
  MarksFiles& operator=(const MarksFiles&) = delete;

  // Opens folder/ch<N>.raw for appending, for each of `channels`; false when one cannot
  // be opened (failed() names it; nothing is left changed).
  bool Open(const std::filesystem::path& folder, const std::vector<int>& channels);
  // Appends to the file of channels[index]; false once a write to it failed.
  bool Append(size_t index, std::string_view bytes);
  // Flushes and closes every file; false when a write failed, the files then cut back.
  // Closed files can still be cut back until Keep: the run's own files may yet fail.
  bool Close();
  // The lines written stay.
  void Keep() { files_.clear(); }
  // Puts every file back as it was before Open.
  void CutBack();

  const std::filesystem::path& failed() const { return failed_; }

 private:
  struct File {
    std::filesystem::path path;
    bool existed = false;
    std::uintmax_t size = 0;
    std::unique_ptr<char[]> buffer;
    std::unique_ptr<std::ofstream> out;
  };
  std::vector<File> files_;
  std::filesystem::path failed_;
};

}  // namespace reports
