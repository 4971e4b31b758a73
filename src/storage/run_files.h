#pragma once
// The three binary files of a run folder, written by the acquisition at every bin
// end and read back by the reports and the offline browser. One codec for all.
//
// Common rules: little-endian; 16- and 32-bit values are signed two's complement,
// doubles IEEE 754 binary64. Records follow one another with no header, padding or
// length field. Arrays are written element by element, first index fastest.
//
// counts.bin, one CountsRecord per bin, 774 bytes:
//   0            int32   Elapsed_Minutes (whole minutes since the run start)
//   4 + 2c       int16   Counts(c), c = 0..383 (activity count of channel c)
//   772          int16   Counts(384): temperature x 10 at the bin end
//
// histoNNNN.bin (histo0000.bin, histo0001.bin, ... five digits from 10000 on),
// one HistoRecord per bin in body-bends mode, 78,556 bytes:
//   0            double  Elapsed_Minutes_Exact (2 decimals)
//   8            double  Sample_Seconds (mean seconds per sample of the bin, 3 decimals)
//   16 + 4(k*385 + c)  int32  Histo(c, k), c = 0..384, k = 0..50, cumulative since start
//
// N.bin (0.bin, 1.bin, ...), one RawBlockRecord per bin when raw data are saved,
// (RT_Buffer + 1) x 385 x 2 bytes (385,770 at RT_Buffer 500):
//   2(s*385 + c) int16   Raw_Ring(c, s), s = 0..RT_Buffer, c = 0..384
//
// Histo file n and raw file n hold bins 11n .. 11n + 10; counts.bin holds every bin.
//
// An append is one write of the whole record, synced to the disk before the bin goes
// on (a power loss costs at most the open bin); a write that fails part-way is cut
// back to the last whole record, so a file only ever holds whole records. A file
// that already ends in a partial record (a crash mid-write) is cut back before the
// append so the new record lands on a record boundary. Readers ignore a trailing
// partial record.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/mapped_file.h"
#include "storage/file_set_rewrite.h"

namespace storage {

inline constexpr int kChannelSlots = 385;     // channels 0..383 and the spare 384
inline constexpr int kHistoClasses = 51;      // peak-interval classes 0..50
inline constexpr int kRecordsPerFile = 11;    // bins per histo / raw file
inline constexpr int kDefaultRtBuffer = 500;  // the detection block
inline constexpr std::size_t kCountsRecordBytes = 4 + 2 * kChannelSlots;  // 774
inline constexpr std::size_t kHistoCells = std::size_t{kChannelSlots} * kHistoClasses;
inline constexpr std::size_t kHistoRecordBytes = 16 + 4 * kHistoCells;  // 78,556
// Bytes of one raw block for a run with `rt_buffer` samples per bin.
constexpr std::size_t RawBlockRecordBytes(int rt_buffer) {
  return std::size_t(rt_buffer + 1) * kChannelSlots * 2;
}

struct CountsRecord {
  int32_t Elapsed_Minutes = 0;
  std::array<int16_t, kChannelSlots> Counts{};  // [384] = temperature x 10
};

struct HistoRecord {
  double Elapsed_Minutes_Exact = 0.0;
  double Sample_Seconds = 0.0;
  std::vector<int32_t> Histo = std::vector<int32_t>(kHistoCells, 0);  // [k * 385 + c]

  int32_t& At(int channel, int cls) { return Histo[std::size_t(cls) * kChannelSlots + channel]; }
  int32_t At(int channel, int cls) const {
    return Histo[std::size_t(cls) * kChannelSlots + channel];
  }
};

struct RawBlockRecord {
  int rt_buffer = kDefaultRtBuffer;
  // [s * 385 + c]; (rt_buffer + 1) rows of 385 channels.
  std::vector<int16_t> levels =
      std::vector<int16_t>(std::size_t(kDefaultRtBuffer + 1) * kChannelSlots, 0);

  explicit RawBlockRecord(int rt = kDefaultRtBuffer)
      : rt_buffer(rt), levels(std::size_t(rt + 1) * kChannelSlots, 0) {}
  int16_t& At(int channel, int sample) {
    return levels[std::size_t(sample) * kChannelSlots + channel];
  }
  int16_t At(int channel, int sample) const {
    return levels[std::size_t(sample) * kChannelSlots + channel];
  }
};

// File names inside a run folder.
std::string CountsFileName();            // "counts.bin"
std::string HistoFileName(int n);        // "histo0000.bin"
std::string RawFileName(int n);          // "0.bin"
// True when the run folder holds a file "histo*.bin" (a body-bends run).
bool HoldsHistoFiles(const std::filesystem::path& run_folder);

// Byte images of one record (exactly the record size).
std::string EncodeCountsRecord(const CountsRecord& r);
std::string EncodeHistoRecord(const HistoRecord& r);
// Packs a flat [s * 385 + c] table of (rt_buffer + 1) rows without copying it first.
std::string EncodeRawBlock(const int16_t* levels, int rt_buffer);
std::string EncodeRawBlockRecord(const RawBlockRecord& r);

// Decode one record from exactly the record size of bytes at `p`.
CountsRecord DecodeCountsRecord(const unsigned char* p);
// The same straight into a caller's row of 385 values (no record in between).
int32_t DecodeCountsRecordInto(const unsigned char* p, int16_t* counts);
// Only the minute of the record at `p`.
int32_t DecodeCountsMinute(const unsigned char* p);
HistoRecord DecodeHistoRecord(const unsigned char* p);
RawBlockRecord DecodeRawBlockRecord(const unsigned char* p, int rt_buffer);

enum class AppendResult {
  kOk,
  kOpenFailed,  // the file could not be opened or created (folder gone, no rights)
  kShortWrite,  // the write failed part-way (a full disk); the file was cut back
};

// Appends one encoded record (bytes.size() must be the record size) with one write.
AppendResult AppendRecord(const std::filesystem::path& file, const std::string& bytes);
AppendResult AppendCountsRecord(const std::filesystem::path& file, const CountsRecord& r);
AppendResult AppendHistoRecord(const std::filesystem::path& file, const HistoRecord& r);
AppendResult AppendRawBlock(const std::filesystem::path& file, const int16_t* levels,
                            int rt_buffer);

// Makes the file hold exactly `records` whole records: extra ones are cut off, missing
// ones are filled with zero bytes (a bin that could not be written reads as empty),
// so record k of a raw or histo file stays bin k of its eleven. False on failure.
bool AlignRecordCount(const std::filesystem::path& file, std::size_t records,
                      std::size_t record_bytes);

// Whole records a file holds (0 when missing); a trailing partial record is not counted.
std::size_t RecordCount(const std::filesystem::path& file, std::size_t record_bytes);

// Every whole record of a file (empty when missing or unreadable).
std::vector<CountsRecord> ReadCountsFile(const std::filesystem::path& file);
std::vector<HistoRecord> ReadHistoFile(const std::filesystem::path& file);
std::vector<RawBlockRecord> ReadRawFile(const std::filesystem::path& file, int rt_buffer);

// One record by its index in the file; false when the file has no such whole record.
bool ReadCountsRecordAt(const std::filesystem::path& file, std::size_t index, CountsRecord& out);
bool ReadHistoRecordAt(const std::filesystem::path& file, std::size_t index, HistoRecord& out);
bool ReadRawBlockAt(const std::filesystem::path& file, std::size_t index, int rt_buffer,
                    RawBlockRecord& out);

// Raw block of bin `bin` of a run: record bin % 11 of file bin / 11.
bool ReadRunRawBlock(const std::filesystem::path& run_folder, std::size_t bin, int rt_buffer,
                     RawBlockRecord& out);

// Reads a run's raw blocks one after another straight into a caller's table of
// (rt_buffer + 1) x 385 levels ([s * 385 + c], as recorded), keeping the block file
// open while the bins stay in it: a pass over a long run neither reopens a file for
// every block nor allocates. One reader per thread.
class RunRawBlockReader {
 public:
  RunRawBlockReader(std::filesystem::path run_folder, int rt_buffer);
  // False when the bin's file is missing or holds no such whole record.
  bool Read(std::size_t bin, int16_t* levels);
  std::size_t block_bytes() const { return block_bytes_; }

 private:
  std::filesystem::path folder_;
  std::size_t block_bytes_;
  platform::ReadOnlyFile in_;
  long long open_file_ = -1;
  std::size_t records_in_file_ = 0;
};
// Histogram record of bin `bin` of a run, likewise.
bool ReadRunHistoRecord(const std::filesystem::path& run_folder, std::size_t bin,
                        HistoRecord& out);

// Replaces counts.bin with `records` (a temporary file renamed into place), for the
// re-analysis that rewrites a run's counts. False when it could not be written.
bool WriteCountsFile(const std::filesystem::path& file, const std::vector<CountsRecord>& records);

enum class RunRewrite {
  kOk,
  kUnsynced,      // replaced, but the folder could not be synced (the next read syncs it)
  kUnreadable,    // the old counts.bin or setup.dat could not be read
  kWriteFailed,   // a new file, the list or the first rename could not be written
  kBackupFailed,  // counts.bak or setup.bak could not be written
  kPendingList,   // the folder holds a list of renames that cannot be finished
  kNotAFile,      // a new file or a file to replace is not a regular file
  kLeftPending,   // a rename failed: the rest are left with their list for the next read
  kBackupsOnly,   // a new file vanished: counts.bin and setup.dat stay, a backup may be new
  kMixed,         // ... after counts.bin's rename, and the old counts.bin could not go back
};
// Puts new counts records and new setup.dat bytes into a run folder together, the old
// ones kept as counts.bak and setup.bak. The four files are written whole beside their
// targets first, and nothing is replaced unless all four could be and no earlier list
// of renames is left unfinished; then they are renamed into place as one set (a kill
// or a failed rename between the renames is finished at the folder's next read).
// Whatever fails, once the folder is read again counts.bin and setup.dat are either
// both old or both new, and so are the backups unless a new file vanishes meanwhile.
// `step` runs where a kill may land; `note` gets what the user is told after the
// command's own headline (SetCommitNote).
RunRewrite ReplaceCountsAndSetup(const std::filesystem::path& run_folder,
                                 const std::vector<CountsRecord>& records,
                                 const std::string& setup_bytes, const CommitStep& step = {},
                                 std::string* note = nullptr);

}  // namespace storage
