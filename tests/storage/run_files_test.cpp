// The run files: the byte layout of each record, and appends of whole records only.
#include "storage/run_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "platform/file_write.h"
#include "platform/mapped_file.h"
#include "storage/file_io.h"
#include "storage/run_loading.h"
#include "support/temp_folder.h"

namespace storage {
namespace {

using testsupport::ReadBytes;
using testsupport::TempProgramFolder;

std::string Hex(const std::string& bytes, std::size_t at, std::size_t n) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (std::size_t i = at; i < at + n && i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (!s.empty()) s += ' ';
    s += d[b >> 4];
    s += d[b & 15];
  }
  return s;
}
const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(RunFiles, RecordLayouts) {
  CountsRecord c;
  c.Elapsed_Minutes = 1441;  // a run that crossed midnight
  c.Counts[0] = -1;
  c.Counts[1] = 0x1234;
  c.Counts[383] = 32767;
  c.Counts[384] = -32768;
  std::string b = EncodeCountsRecord(c);
  ASSERT_EQ(b.size(), 774u);
  EXPECT_EQ(Hex(b, 0, 10), "A1 05 00 00 FF FF 34 12 00 00");
  EXPECT_EQ(Hex(b, 4 + 2 * 383, 4), "FF 7F 00 80");
  EXPECT_EQ(DecodeCountsRecord(Bytes(b)).Counts, c.Counts);
  c.Elapsed_Minutes = -2;  // the sign survives the 32-bit field
  EXPECT_EQ(Hex(EncodeCountsRecord(c), 0, 4), "FE FF FF FF");

  HistoRecord h;  // channel fastest
  h.Elapsed_Minutes_Exact = 1.5;
  h.Sample_Seconds = 0.25;
  h.At(1, 2) = 0x01020304;
  h.At(383, 49) = -1;
  b = EncodeHistoRecord(h);
  ASSERT_EQ(b.size(), 78556u);
  EXPECT_EQ(Hex(b, 0, 16), "00 00 00 00 00 00 F8 3F 00 00 00 00 00 00 D0 3F");
  EXPECT_EQ(Hex(b, 16 + 4 * (2 * 385 + 1), 4), "04 03 02 01");
  EXPECT_EQ(Hex(b, 16 + 4 * (49 * 385 + 383), 4), "FF FF FF FF");
  EXPECT_EQ(Hex(b, 16 + 4 * (1 * 385 + 2), 4), "00 00 00 00");  // the transposed cell
  const HistoRecord hb = DecodeHistoRecord(Bytes(b));
  EXPECT_EQ(hb.Histo, h.Histo);
  EXPECT_EQ(hb.Sample_Seconds, 0.25);

  RawBlockRecord r(500);  // sample slowest, its size following the bin
  r.At(2, 1) = 4095;
  r.At(384, 500) = -3;
  b = EncodeRawBlockRecord(r);
  ASSERT_EQ(b.size(), 385770u);
  EXPECT_EQ(Hex(b, 2 * (385 + 2), 2), "FF 0F");
  EXPECT_EQ(Hex(b, 385768, 2), "FD FF");
  RawBlockRecord small(4);
  small.At(0, 4) = 7;
  b = EncodeRawBlockRecord(small);
  ASSERT_EQ(b.size(), 5u * 385 * 2);
  EXPECT_EQ(Hex(b, 2 * 4 * 385, 2), "07 00");
  EXPECT_EQ(DecodeRawBlockRecord(Bytes(b), 4).levels, small.levels);
  EXPECT_EQ(HistoFileName(2), "histo0002.bin");
  EXPECT_EQ(HistoFileName(10000), "histo10000.bin");
}

TEST(RunFiles, AppendsKeepWholeRecordsOnly) {
  TempProgramFolder folder;
  const auto counts = folder / "counts.bin";
  EXPECT_TRUE(ReadCountsFile(counts).empty());
  EXPECT_EQ(AppendCountsRecord(folder / "gone" / "counts.bin", CountsRecord{}),
            AppendResult::kOpenFailed);
  CountsRecord r;
  r.Elapsed_Minutes = 7;
  // A torn second record is not read, and is cut before the next append.
  testsupport::WriteBytes(counts, EncodeCountsRecord(r) + std::string(100, '\x55'));
  EXPECT_EQ(RecordCount(counts, kCountsRecordBytes), 1u);
  r.Elapsed_Minutes = 8;
  r.Counts[5] = 20;
  ASSERT_EQ(AppendCountsRecord(counts, r), AppendResult::kOk);
  ASSERT_EQ(ReadBytes(counts).size(), 2u * 774);
  CountsRecord at;
  ASSERT_TRUE(ReadCountsRecordAt(counts, 1, at));
  EXPECT_EQ(at.Elapsed_Minutes, 8);
  EXPECT_EQ(at.Counts[5], 20);
  EXPECT_FALSE(ReadCountsRecordAt(counts, 2, at));

  // Rewriting replaces the whole file.
  std::vector<CountsRecord> one(1);
  one[0].Counts[3] = 99;
  ASSERT_TRUE(WriteCountsFile(counts, one));
  ASSERT_EQ(ReadCountsFile(counts).size(), 1u);
  EXPECT_EQ(ReadCountsFile(counts)[0].Counts[3], 99);
}

TEST(RunFiles, EveryRecordAppendReachesTheDisk) {
  // A new file's name has to reach the disk as well: its folder is synced too.
  TempProgramFolder folder;
  const std::vector<int16_t> ring(std::size_t(kDefaultRtBuffer + 1) * kChannelSlots, 0);
  const auto counts = [&] { return AppendCountsRecord(folder / CountsFileName(), CountsRecord{}); };
  const auto histo = [&] { return AppendHistoRecord(folder / HistoFileName(0), HistoRecord{}); };
  const auto raw = [&] {
    return AppendRawBlock(folder / RawFileName(0), ring.data(), kDefaultRtBuffer);
  };
  struct Case {
    const char* what;
    std::function<AppendResult()> append;
    uint64_t syncs;
  } cases[] = {
      {"a new counts.bin", counts, 2},    {"a counts record more", counts, 1},
      {"a new histogram file", histo, 2}, {"a histogram record more", histo, 1},
      {"a new raw file", raw, 2},         {"a raw block more", raw, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint64_t before = platform::FileSyncCount();
    ASSERT_EQ(c.append(), AppendResult::kOk);
    EXPECT_EQ(platform::FileSyncCount() - before, c.syncs);
  }
}

// Each place a run file is opened, given a FIFO, reads nothing and comes back at once
// instead of waiting for a writer (a reader left waiting is let go by a writer's open).
TEST(RunFiles, EveryRunFileReaderRefusesAFifoAtOnce) {
  TempProgramFolder folder;
  const std::filesystem::path raw = folder / RawFileName(0), counts = folder / CountsFileName();
  for (const auto& f : {raw, counts}) ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0) << f;
  RawBlockRecord block;
  CountsRecord record;
  const std::function<bool()> readers[] = {
      [&] { return ReadRunRawBlock(folder.path(), 0, kDefaultRtBuffer, block); },
      [&] { return ReadCountsRecordAt(counts, 0, record); },
      [&] { return !ReadCountsFile(counts).empty(); },
      [&] { return ForEachCountsRecord(counts, [](size_t, const CountsRecord&) { return true; }); },
      [&] { return platform::MappedFile(counts, 774).ok(); },
      [&] { return ReadWholeFile(counts).has_value(); },
  };
  for (size_t i = 0; i < std::size(readers); ++i) {
    auto done = std::async(std::launch::async, readers[i]);
    EXPECT_TRUE(done.wait_for(std::chrono::seconds(2)) == std::future_status::ready) << i;
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
      for (const auto& f : {raw, counts})
        if (const int fd = ::open(f.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
    EXPECT_FALSE(done.get()) << i;
  }
}

}  // namespace
}  // namespace storage
