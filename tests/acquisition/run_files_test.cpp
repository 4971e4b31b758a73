#include "acquisition/run_files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "support/temp_folder.h"

namespace acquisition {
namespace {

using testsupport::ReadBytes;
using testsupport::TempProgramFolder;
using testsupport::WriteBytes;

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

TEST(RunFiles, CountsRecordLayoutAtTheClipLimits) {
  CountsRecord r;
  r.Elapsed_Minutes = 1441;  // a run that crossed midnight
  r.Counts[0] = -1;
  r.Counts[1] = 0x1234;
  r.Counts[383] = 32767;
  r.Counts[384] = -32768;
  const std::string b = EncodeCountsRecord(r);
  ASSERT_EQ(b.size(), 774u);
  EXPECT_EQ(Hex(b, 0, 4), "A1 05 00 00");
  EXPECT_EQ(Hex(b, 4, 4), "FF FF 34 12");
  EXPECT_EQ(Hex(b, 4 + 2 * 383, 2), "FF 7F");
  EXPECT_EQ(Hex(b, 772, 2), "00 80");
  EXPECT_EQ(Hex(b, 8, 2), "00 00");

  const CountsRecord back = DecodeCountsRecord(reinterpret_cast<const unsigned char*>(b.data()));
  EXPECT_EQ(back.Elapsed_Minutes, 1441);
  EXPECT_EQ(back.Counts, r.Counts);

  CountsRecord big;
  big.Elapsed_Minutes = -2;  // sign survives the 32-bit field
  const std::string nb = EncodeCountsRecord(big);
  EXPECT_EQ(Hex(nb, 0, 4), "FE FF FF FF");
}

TEST(RunFiles, HistoRecordLayoutChannelFastest) {
  HistoRecord r;
  r.Elapsed_Minutes_Exact = 1.5;
  r.Sample_Seconds = 0.25;
  r.At(1, 2) = 0x01020304;
  r.At(383, 49) = -1;
  const std::string b = EncodeHistoRecord(r);
  ASSERT_EQ(b.size(), 78556u);
  EXPECT_EQ(Hex(b, 0, 8), "00 00 00 00 00 00 F8 3F");
  EXPECT_EQ(Hex(b, 8, 8), "00 00 00 00 00 00 D0 3F");
  EXPECT_EQ(Hex(b, 16 + 4 * (2 * 385 + 1), 4), "04 03 02 01");
  EXPECT_EQ(Hex(b, 16 + 4 * (49 * 385 + 383), 4), "FF FF FF FF");
  EXPECT_EQ(Hex(b, 16 + 4 * (1 * 385 + 2), 4), "00 00 00 00");  // the transposed cell

  const HistoRecord back = DecodeHistoRecord(reinterpret_cast<const unsigned char*>(b.data()));
  EXPECT_EQ(back.Elapsed_Minutes_Exact, 1.5);
  EXPECT_EQ(back.Sample_Seconds, 0.25);
  EXPECT_EQ(back.Histo, r.Histo);
}

TEST(RunFiles, RawBlockLayoutFollowsTheBinSize) {
  RawBlockRecord r(500);
  r.At(2, 1) = 4095;
  r.At(384, 500) = -3;
  const std::string b = EncodeRawBlockRecord(r);
  ASSERT_EQ(b.size(), 385770u);
  EXPECT_EQ(RawBlockRecordBytes(500), 385770u);
  EXPECT_EQ(Hex(b, 2 * (385 + 2), 2), "FF 0F");
  EXPECT_EQ(Hex(b, 385768, 2), "FD FF");

  RawBlockRecord small(4);
  small.At(0, 4) = 7;
  const std::string sb = EncodeRawBlockRecord(small);
  ASSERT_EQ(sb.size(), 5u * 385 * 2);
  EXPECT_EQ(Hex(sb, 2 * 4 * 385, 2), "07 00");
  const RawBlockRecord back =
      DecodeRawBlockRecord(reinterpret_cast<const unsigned char*>(sb.data()), 4);
  EXPECT_EQ(back.levels, small.levels);
}

TEST(RunFiles, NamesOfTheRunFiles) {
  EXPECT_EQ(CountsFileName(), "counts.bin");
  EXPECT_EQ(HistoFileName(0), "histo0000.bin");
  EXPECT_EQ(HistoFileName(12), "histo0012.bin");
  EXPECT_EQ(HistoFileName(10000), "histo10000.bin");
  EXPECT_EQ(RawFileName(0), "0.bin");
  EXPECT_EQ(RawFileName(12), "12.bin");
}

TEST(RunFiles, EmptyRunAndAppendAfterReopen) {
  TempProgramFolder folder;
  const auto counts = folder / "counts.bin";
  EXPECT_EQ(RecordCount(counts, kCountsRecordBytes), 0u);
  EXPECT_TRUE(ReadCountsFile(counts).empty());
  CountsRecord none;
  EXPECT_FALSE(ReadCountsRecordAt(counts, 0, none));

  for (int m = 0; m < 3; ++m) {
    CountsRecord r;
    r.Elapsed_Minutes = m;
    r.Counts[5] = int16_t(10 * m);
    ASSERT_EQ(AppendCountsRecord(counts, r), AppendResult::kOk);
  }
  // Each append opens and closes the file: the bytes already there stay as written.
  const std::string first = ReadBytes(counts);
  ASSERT_EQ(first.size(), 3u * 774);
  EXPECT_EQ(Hex(first, 774, 4), "01 00 00 00");
  EXPECT_EQ(Hex(first, 774 + 4 + 10, 2), "0A 00");

  CountsRecord r;
  r.Elapsed_Minutes = 3;
  ASSERT_EQ(AppendCountsRecord(counts, r), AppendResult::kOk);
  const auto all = ReadCountsFile(counts);
  ASSERT_EQ(all.size(), 4u);
  for (int m = 0; m < 4; ++m) EXPECT_EQ(all[m].Elapsed_Minutes, m);
  EXPECT_EQ(all[2].Counts[5], 20);
  CountsRecord at;
  ASSERT_TRUE(ReadCountsRecordAt(counts, 2, at));
  EXPECT_EQ(at.Counts[5], 20);
  EXPECT_FALSE(ReadCountsRecordAt(counts, 4, at));
}

TEST(RunFiles, PartialTrailingRecordIsIgnoredAndCutBeforeTheNextAppend) {
  TempProgramFolder folder;
  const auto counts = folder / "counts.bin";
  CountsRecord r;
  r.Elapsed_Minutes = 7;
  std::string bytes = EncodeCountsRecord(r);
  WriteBytes(counts, bytes + std::string(100, '\x55'));  // a torn second record
  EXPECT_EQ(RecordCount(counts, kCountsRecordBytes), 1u);
  ASSERT_EQ(ReadCountsFile(counts).size(), 1u);

  r.Elapsed_Minutes = 8;
  ASSERT_EQ(AppendCountsRecord(counts, r), AppendResult::kOk);
  const auto all = ReadCountsFile(counts);
  ASSERT_EQ(ReadBytes(counts).size(), 2u * 774);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1].Elapsed_Minutes, 8);
}

TEST(RunFiles, MissingFolderFailsToOpen) {
  TempProgramFolder folder;
  EXPECT_EQ(AppendCountsRecord(folder / "gone" / "counts.bin", CountsRecord{}),
            AppendResult::kOpenFailed);
}

TEST(RunFiles, ShortWriteIsCutBackToTheLastWholeRecord) {
  TempProgramFolder folder;
  const auto histo = folder / "histo0000.bin";
  HistoRecord r;
  r.Sample_Seconds = 0.03;
  ASSERT_EQ(AppendHistoRecord(histo, r), AppendResult::kOk);

  // A file size limit stands in for a full disk: the second record only half fits.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit lowered = old;
  lowered.rlim_cur = kHistoRecordBytes + kHistoRecordBytes / 2;
  setrlimit(RLIMIT_FSIZE, &lowered);
  const AppendResult result = AppendHistoRecord(histo, r);
  setrlimit(RLIMIT_FSIZE, &old);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_EQ(result, AppendResult::kShortWrite);
  EXPECT_EQ(ReadBytes(histo).size(), kHistoRecordBytes);
  ASSERT_EQ(AppendHistoRecord(histo, r), AppendResult::kOk);
  EXPECT_EQ(RecordCount(histo, kHistoRecordBytes), 2u);
}

TEST(RunFiles, RunOfTwentyFiveBinsSpreadsOverElevenRecordFiles) {
  TempProgramFolder folder;
  const auto run = folder.path();
  RawBlockRecord raw(500);
  HistoRecord histo;
  for (int bin = 0; bin < 25; ++bin) {
    const int file_index = bin / kRecordsPerFile;
    raw.At(0, 0) = int16_t(bin);
    histo.At(0, 0) = bin;
    histo.Elapsed_Minutes_Exact = bin * 0.25;
    ASSERT_EQ(AppendRawBlock(run / RawFileName(file_index), raw.levels.data(), 500),
              AppendResult::kOk);
    CountsRecord c;
    c.Elapsed_Minutes = bin / 4;
    ASSERT_EQ(AppendCountsRecord(run / CountsFileName(), c), AppendResult::kOk);
    ASSERT_EQ(AppendHistoRecord(run / HistoFileName(file_index), histo), AppendResult::kOk);
  }
  EXPECT_EQ(ReadBytes(run / "counts.bin").size(), 19350u);
  EXPECT_EQ(RecordCount(run / "histo0000.bin", kHistoRecordBytes), 11u);
  EXPECT_EQ(RecordCount(run / "histo0001.bin", kHistoRecordBytes), 11u);
  EXPECT_EQ(RecordCount(run / "histo0002.bin", kHistoRecordBytes), 3u);
  EXPECT_EQ(ReadBytes(run / "2.bin").size(), 3u * 385770);
  EXPECT_EQ(ReadRawFile(run / "1.bin", 500).size(), 11u);

  RawBlockRecord block;
  ASSERT_TRUE(ReadRunRawBlock(run, 13, 500, block));
  EXPECT_EQ(block.At(0, 0), 13);
  EXPECT_FALSE(ReadRunRawBlock(run, 25, 500, block));
  HistoRecord h;
  ASSERT_TRUE(ReadRunHistoRecord(run, 24, h));
  EXPECT_EQ(h.At(0, 0), 24);
  EXPECT_EQ(h.Elapsed_Minutes_Exact, 6.0);
  EXPECT_EQ(ReadHistoFile(run / "histo0002.bin").size(), 3u);
}

TEST(RunFiles, RewriteOfCountsReplacesTheWholeFile) {
  TempProgramFolder folder;
  const auto counts = folder / "counts.bin";
  for (int i = 0; i < 5; ++i) AppendCountsRecord(counts, CountsRecord{});
  std::vector<CountsRecord> two(2);
  two[1].Counts[3] = 99;
  ASSERT_TRUE(WriteCountsFile(counts, two));
  const auto back = ReadCountsFile(counts);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].Counts[3], 99);
  EXPECT_FALSE(std::filesystem::exists(folder / "counts.bin.tmp"));
}

}  // namespace
}  // namespace acquisition
