#include "offline/raw_pages.h"

#include <fstream>

#include "raw_fixture.h"

namespace offline_test {
namespace {

using offline::CountRawFiles;
using offline::LoadRawPage;
using offline::PageBin;

struct FileSpec {
  std::string name;
  std::uintmax_t records;
  std::uintmax_t extra_bytes = 0;
};

struct CountCase {
  const char* what;
  std::vector<FileSpec> files;
  int files_counted;
  int64_t records;
  int pages;
  std::string problem;  // a part of the message, "" for none
};

std::vector<FileSpec> WholeFiles(int count) {
  std::vector<FileSpec> out;
  for (int n = 0; n < count; ++n) out.push_back({std::to_string(n) + ".bin", 11});
  return out;
}

std::vector<FileSpec> With(std::vector<FileSpec> files, const std::vector<FileSpec>& more) {
  files.insert(files.end(), more.begin(), more.end());
  return files;
}

TEST_F(RawTest, RawFilesAreCountedByNameAndSize) {
  const std::vector<CountCase> cases = {
      {"no raw files", {{"counts.bin", 3}}, 0, 0, 0, ""},
      {"132 records in 12 files", WholeFiles(12), 12, 132, 3, ""},
      {"only numbered names count",
       With(WholeFiles(2), {{"histo0000.bin", 1},
                            {"Counts.bin", 1},
                            {"counts.bin", 1},
                            {"007.bin", 1},
                            {"5.BIN", 1},
                            {"x.bin", 1},
                            {"9.bin.bak", 1}}),
       2, 22, 1, ""},
      {"50 records make one page", With(WholeFiles(4), {{"4.bin", 6}}), 5, 50, 1, ""},
      {"51 records make two", With(WholeFiles(4), {{"4.bin", 7}}), 5, 51, 2, ""},
      {"a short last record is ignored", With(WholeFiles(1), {{"1.bin", 3, 1000}}), 2, 14, 1, ""},
      {"a lone partial record", {{"0.bin", 0, 1000}}, 1, 0, 0, ""},
      {"a missing file number", {{"0.bin", 11}, {"2.bin", 5}}, 2, 27, 1, "1.bin is missing"},
      {"a truncated file", {{"0.bin", 4}, {"1.bin", 11}}, 2, 22, 1, "0.bin is truncated"},
      {"a file of more blocks", {{"0.bin", 12}}, 1, 11, 1, "0.bin does not match"},
      {"a stray empty file far out", With(WholeFiles(2), {{"999999999.bin", 0}}), 3, 22, 1, ""},
      {"a far file with a block",
       With(WholeFiles(2), {{"999999999.bin", 1}}),
       3,
       int64_t{11} * 999999999 + 1,
       220000000,
       "Raw data files 2.bin to 999999998.bin are missing"},
      {"missing ranges", {{"1.bin", 11}, {"3.bin", 11}, {"7.bin", 1}}, 3, 78, 2,
       "Raw data file 0.bin is missing: its blocks show as flat lines\r\n"
       "Raw data file 2.bin is missing: its blocks show as flat lines\r\n"
       "Raw data files 4.bin to 6.bin are missing: their blocks show as flat lines"},
      {"five problems shown, the rest counted",
       {{"0.bin", 1}, {"1.bin", 1}, {"2.bin", 1}, {"3.bin", 1}, {"4.bin", 1}, {"5.bin", 1},
        {"9.bin", 1}},
       7, 100, 2,
       "Raw data file 4.bin is truncated: its missing blocks show as flat lines\r\n..."},
      {"a partial record inside the run",
       {{"0.bin", 11, 10}, {"1.bin", 1}},
       2,
       12,
       1,
       "0.bin does not match"},
  };
  for (const CountCase& c : cases) {
    const fs::path run = Home() / c.what;
    fs::create_directories(run);
    for (const FileSpec& f : c.files)
      SparseFile(run / f.name, f.records * kRecordBytes + f.extra_bytes);
    const offline::RawFiles got = CountRawFiles(run, 500);
    EXPECT_EQ(got.files, c.files_counted) << c.what;
    EXPECT_EQ(got.records, c.records) << c.what;
    EXPECT_EQ(got.pages, c.pages) << c.what;
    if (c.problem.empty()) {
      EXPECT_EQ(got.problem, "") << c.what;
    } else {
      EXPECT_NE(got.problem.find(c.problem), std::string::npos) << c.what << ": " << got.problem;
    }
  }
}

TEST(RawPages, DisplayBlocksAreConsecutiveBins) {
  EXPECT_EQ(PageBin(1, 0), 0);
  EXPECT_EQ(PageBin(1, 49), 49);
  EXPECT_EQ(PageBin(2, 0), 50);
  EXPECT_EQ(PageBin(3, 7), 107);
}

TEST(RawPages, OnlyRunsOf500SamplesPerBinAreShown) {
  EXPECT_EQ(offline::RawViewRefusal(500), "");
  EXPECT_NE(offline::RawViewRefusal(250).find("250"), std::string::npos);
}

// Bin b's level of channel c in row s: 100 b + s mod 100 (+1 so zero means "not read");
// row 500 holds -7, which no display sample may show.
int16_t Marker(int64_t bin, int c, int s) {
  if (s == 500) return -7;
  return static_cast<int16_t>(100 * bin + s % 100 + 1 + (c == 384 ? 50 : 0));
}

void WriteRecordAt(const fs::path& file, int64_t index, int64_t bin) {
  std::vector<int16_t> levels(std::size_t{501} * storage::kChannelSlots);
  for (int s = 0; s <= 500; ++s)
    for (int c = 0; c < storage::kChannelSlots; ++c)
      levels[std::size_t(s) * storage::kChannelSlots + std::size_t(c)] = Marker(bin, c, s);
  std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
  out.seekp(static_cast<std::streamoff>(index * static_cast<int64_t>(kRecordBytes)));
  const std::string bytes = storage::EncodeRawBlock(levels.data(), 500);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

TEST_F(RawTest, APageShowsFiftyBinsFromTheirFilesAndRecords) {
  const fs::path run = MakeRawRun();
  // Files 0..5 (file 3 missing), the last with 6 whole records and a partial one.
  for (int n : {0, 1, 2, 4}) SparseFile(run / storage::RawFileName(n), 11 * kRecordBytes);
  SparseFile(run / "5.bin", 6 * kRecordBytes + 99);
  for (int64_t bin : {0, 10, 11, 32, 49, 50, 54, 55, 60})
    WriteRecordAt(run / storage::RawFileName(static_cast<int>(bin / 11)), bin % 11, bin);
  const offline::RawFiles files = CountRawFiles(run, 500);
  ASSERT_EQ(files.records, 61);
  ASSERT_EQ(files.pages, 2);

  std::vector<int> progress;
  const offline::RawPage p1 =
      LoadRawPage(run, 500, files, 1, [&](int done) { progress.push_back(done); });
  ASSERT_EQ(progress.size(), 50u);
  EXPECT_EQ(progress.front(), 1);
  EXPECT_EQ(progress.back(), 50);
  const offline::RawPage p2 = LoadRawPage(run, 500, files, 2);

  struct Row {
    const offline::RawPage* page;
    int block, channel, sample;
    int16_t level;
  };
  const std::vector<Row> rows = {
      {&p1, 0, 0, 0, Marker(0, 0, 0)},
      {&p1, 10, 383, 250, Marker(10, 383, 250)},  // record 10 of file 0
      {&p1, 11, 7, 1, Marker(11, 7, 1)},          // record 0 of file 1
      {&p1, 32, 5, 499, Marker(32, 5, 499)},
      {&p1, 32, 5, 500, Marker(32, 5, 499)},  // sample 500 repeats row 499
      {&p1, 33, 5, 10, 0},                    // file 3 is missing
      {&p1, 43, 5, 10, 0},
      {&p1, 49, 100, 3, Marker(49, 100, 3)},
      {&p2, 0, 2, 2, Marker(50, 2, 2)},  // page 2 block 0 is bin 50
      {&p2, 4, 2, 2, Marker(54, 2, 2)},
      {&p2, 5, 2, 2, Marker(55, 2, 2)},   // record 0 of file 5
      {&p2, 10, 2, 2, Marker(60, 2, 2)},  // the last whole record
      {&p2, 11, 2, 2, 0},                 // the partial record is not read
      {&p2, 49, 2, 2, 0},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.page->Level(r.channel, r.block, r.sample), r.level)
        << "page " << r.page->page << " block " << r.block << " sample " << r.sample;

  int16_t copy[500];
  p2.CopySamples(9, 0, copy);
  EXPECT_EQ(copy[0], Marker(50, 9, 0));
  EXPECT_EQ(copy[499], Marker(50, 9, 499));
}

}  // namespace
}  // namespace offline_test
