#pragma once
// Raw block files and plates for the raw views' tests: records built level by level
// and encoded with the acquisition's own codec (appended without the acquisition's
// sync, which would only slow the tests), files of a given size made sparse (counting
// only looks at sizes), and a 6-well layout of 32 beams a well.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "storage/run_files.h"
#include "offline/loaded_run.h"
#include "offline_fixture.h"

namespace offline_test {

inline constexpr std::size_t kRecordBytes = storage::RawBlockRecordBytes(500);

// level(bin, channel, row) for rows 0..500 of every channel 0..384.
using LevelOf = std::function<int16_t(int64_t, int, int)>;

inline void AppendRawBins(const fs::path& folder, int64_t first_bin, int64_t bins,
                          const LevelOf& level) {
  std::vector<int16_t> rec(std::size_t{501} * storage::kChannelSlots);
  for (int64_t bin = first_bin; bin < first_bin + bins; ++bin) {
    for (int s = 0; s <= 500; ++s)
      for (int c = 0; c < storage::kChannelSlots; ++c)
        rec[std::size_t(s) * storage::kChannelSlots + std::size_t(c)] = level(bin, c, s);
    const fs::path file = folder / storage::RawFileName(static_cast<int>(bin / 11));
    std::ofstream out(file, std::ios::binary | std::ios::app);
    const std::string bytes = storage::EncodeRawBlock(rec.data(), 500);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
  }
}

// counts.bin with one record per minute given.
inline void WriteCountsMinutes(const fs::path& folder, const std::vector<int32_t>& minutes) {
  std::string bytes;
  for (int32_t m : minutes) {
    storage::CountsRecord r;
    r.Elapsed_Minutes = m;
    bytes += storage::EncodeCountsRecord(r);
  }
  testsupport::WriteBytes(folder / storage::CountsFileName(), bytes);
}

// A file of `bytes` zero bytes without writing them.
inline void SparseFile(const fs::path& file, std::uintmax_t bytes) {
  testsupport::WriteBytes(file, "");
  fs::resize_file(file, bytes);
}

// The 6-well plate "w6": 2 rows x 3 columns of wells 8 grid units apart; well
// (column, row) holds the even grid rows of grid columns 8 column .. 8 column + 7 and
// grid rows 8 row .. 8 row + 7, beam (grid column - 8 column) x 4 + (grid row - 8 row) / 2.
inline std::vector<std::tuple<int, int, int>> SixWellChannels() {
  std::vector<std::tuple<int, int, int>> out;
  for (int wc = 0; wc < 3; ++wc)
    for (int wr = 0; wr < 2; ++wr)
      for (int gc = 8 * wc; gc < 8 * wc + 8; ++gc)
        for (int gr = 8 * wr; gr < 8 * wr + 8; gr += 2)
          out.emplace_back(gc * 16 + gr, wc * 2 + wr, (gc - 8 * wc) * 4 + (gr - 8 * wr) / 2);
  return out;
}

class RawTest : public OfflineTest {
 protected:
  // A run folder of project 1 with the plate `plate`, loaded as the browser loads it.
  offline::LoadedRun LoadRun(const fs::path& folder) {
    const offline::RunLoad load = offline::LoadAcquisitionSetup(folder, Home());
    EXPECT_EQ(load.status, offline::RunLoadStatus::kOk) << load.message;
    return load.run ? *load.run : offline::LoadedRun{};
  }
  fs::path MakeRawRun(const RunSetup& setup = {}) {
    return MakeRun(MakeProject(1, "Raw"), "20240315_0930", "Signal", {}, setup);
  }
};

}  // namespace offline_test
