#include "storage/run_files.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>

#include "platform/file_write.h"
#include "platform/mapped_file.h"
#include "storage/file_io.h"
#include "storage/file_set_rewrite.h"

namespace storage {
namespace fs = std::filesystem;

namespace {

void Put16(char* p, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  p[0] = static_cast<char>(u & 0xFF);
  p[1] = static_cast<char>(u >> 8);
}

void Put32(char* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

void PutDouble(char* p, double v) {
  uint64_t u = 0;
  std::memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

int16_t Get16(const unsigned char* p) { return static_cast<int16_t>(uint16_t(p[0] | (p[1] << 8))); }

int32_t Get32(const unsigned char* p) {
  uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | p[i];
  return static_cast<int32_t>(u);
}

double GetDouble(const unsigned char* p) {
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
  double v = 0;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

// The file's whole contents up to its last whole record ("" when unreadable).
std::string ReadWhole(const fs::path& file, std::size_t record_bytes) {
  const platform::ReadOnlyFile in(file);
  if (!in.ok()) return {};
  std::string data(static_cast<std::size_t>(in.size() - in.size() % record_bytes), '\0');
  const std::int64_t got = in.ReadAt(0, data.data(), data.size());
  if (got < 0) return {};
  data.resize(static_cast<std::size_t>(got) - static_cast<std::size_t>(got) % record_bytes);
  return data;
}

bool ReadAt(const fs::path& file, std::size_t index, std::size_t record_bytes, std::string& out) {
  const platform::ReadOnlyFile in(file);
  if (!in.ok() || index >= in.size() / record_bytes) return false;
  out.assign(record_bytes, '\0');
  return in.ReadAt(index * record_bytes, out.data(), record_bytes) ==
         static_cast<std::int64_t>(record_bytes);
}

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

std::string CountsFileName() { return "counts.bin"; }

std::string HistoFileName(int n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "histo%04d.bin", n);
  return buf;
}

std::string RawFileName(int n) { return std::to_string(n) + ".bin"; }

bool HoldsHistoFiles(const std::filesystem::path& run_folder) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(run_folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() >= 9 && name.compare(0, 5, "histo") == 0 &&
        name.compare(name.size() - 4, 4, ".bin") == 0 && it->is_regular_file(ec))
      return true;
  }
  return false;
}

std::string EncodeCountsRecord(const CountsRecord& r) {
  std::string b(kCountsRecordBytes, '\0');
  Put32(b.data(), r.Elapsed_Minutes);
  for (int c = 0; c < kChannelSlots; ++c) Put16(b.data() + 4 + 2 * c, r.Counts[c]);
  return b;
}

std::string EncodeHistoRecord(const HistoRecord& r) {
  std::string b(kHistoRecordBytes, '\0');
  PutDouble(b.data(), r.Elapsed_Minutes_Exact);
  PutDouble(b.data() + 8, r.Sample_Seconds);
  const std::size_t n = std::min(r.Histo.size(), kHistoCells);
  for (std::size_t i = 0; i < n; ++i) Put32(b.data() + 16 + 4 * i, r.Histo[i]);
  return b;
}

std::string EncodeRawBlock(const int16_t* levels, int rt_buffer) {
  const std::size_t cells = std::size_t(rt_buffer + 1) * kChannelSlots;
  std::string b(cells * 2, '\0');
  for (std::size_t i = 0; i < cells; ++i) Put16(b.data() + 2 * i, levels[i]);
  return b;
}

std::string EncodeRawBlockRecord(const RawBlockRecord& r) {
  RawBlockRecord sized = r;
  sized.levels.resize(std::size_t(r.rt_buffer + 1) * kChannelSlots, 0);
  return EncodeRawBlock(sized.levels.data(), sized.rt_buffer);
}

int32_t DecodeCountsRecordInto(const unsigned char* p, int16_t* counts) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(counts, p + 4, 2 * kChannelSlots);
  } else {
    for (int c = 0; c < kChannelSlots; ++c) counts[c] = Get16(p + 4 + 2 * c);
  }
  return Get32(p);
}

int32_t DecodeCountsMinute(const unsigned char* p) { return Get32(p); }

CountsRecord DecodeCountsRecord(const unsigned char* p) {
  CountsRecord r;
  r.Elapsed_Minutes = DecodeCountsRecordInto(p, r.Counts.data());
  return r;
}

HistoRecord DecodeHistoRecord(const unsigned char* p) {
  HistoRecord r;
  r.Elapsed_Minutes_Exact = GetDouble(p);
  r.Sample_Seconds = GetDouble(p + 8);
  for (std::size_t i = 0; i < kHistoCells; ++i) r.Histo[i] = Get32(p + 16 + 4 * i);
  return r;
}

RawBlockRecord DecodeRawBlockRecord(const unsigned char* p, int rt_buffer) {
  RawBlockRecord r(rt_buffer);
  for (std::size_t i = 0; i < r.levels.size(); ++i) r.levels[i] = Get16(p + 2 * i);
  return r;
}

AppendResult AppendRecord(const fs::path& file, const std::string& bytes) {
  const std::size_t record = bytes.size();
  std::error_code ec;
  std::size_t base = 0;
  if (fs::exists(file, ec)) {
    const auto size = fs::file_size(file, ec);
    if (ec) return AppendResult::kOpenFailed;
    base = static_cast<std::size_t>(size);
    if (record > 0 && base % record != 0) {
      // A torn record from an earlier failure would shift every later record.
      base -= base % record;
      fs::resize_file(file, base, ec);
      if (ec) return AppendResult::kOpenFailed;
    }
  }
  // Synced: a power loss costs at most the bin that is still open.
  std::size_t written = 0;
  const int err = platform::AppendFile(file, bytes, true, written);
  if (err == 0) return AppendResult::kOk;
  const bool disk_full = err == ENOSPC || err == EFBIG || err == EDQUOT;
  if (written == 0 && !disk_full) return AppendResult::kOpenFailed;
  fs::resize_file(file, base, ec);
  return AppendResult::kShortWrite;
}

AppendResult AppendCountsRecord(const fs::path& file, const CountsRecord& r) {
  return AppendRecord(file, EncodeCountsRecord(r));
}

AppendResult AppendHistoRecord(const fs::path& file, const HistoRecord& r) {
  return AppendRecord(file, EncodeHistoRecord(r));
}

AppendResult AppendRawBlock(const fs::path& file, const int16_t* levels, int rt_buffer) {
  return AppendRecord(file, EncodeRawBlock(levels, rt_buffer));
}

bool AlignRecordCount(const fs::path& file, std::size_t records, std::size_t record_bytes) {
  std::error_code ec;
  const bool exists = fs::exists(file, ec);
  const std::size_t have = exists ? RecordCount(file, record_bytes) : 0;
  if (exists && have >= records) {
    if (fs::file_size(file, ec) == records * record_bytes) return true;
    fs::resize_file(file, records * record_bytes, ec);
    return !ec;
  }
  if (!exists && records == 0) return true;
  const std::string zero(record_bytes, '\0');
  for (std::size_t i = have; i < records; ++i)
    if (AppendRecord(file, zero) != AppendResult::kOk) return false;
  return true;
}

std::size_t RecordCount(const fs::path& file, std::size_t record_bytes) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec || record_bytes == 0) return 0;
  return static_cast<std::size_t>(size) / record_bytes;
}

std::vector<CountsRecord> ReadCountsFile(const fs::path& file) {
  const std::string data = ReadWhole(file, kCountsRecordBytes);
  std::vector<CountsRecord> out;
  out.reserve(data.size() / kCountsRecordBytes);
  for (std::size_t at = 0; at < data.size(); at += kCountsRecordBytes)
    out.push_back(DecodeCountsRecord(Bytes(data) + at));
  return out;
}

std::vector<HistoRecord> ReadHistoFile(const fs::path& file) {
  const std::string data = ReadWhole(file, kHistoRecordBytes);
  std::vector<HistoRecord> out;
  for (std::size_t at = 0; at < data.size(); at += kHistoRecordBytes)
    out.push_back(DecodeHistoRecord(Bytes(data) + at));
  return out;
}

std::vector<RawBlockRecord> ReadRawFile(const fs::path& file, int rt_buffer) {
  std::vector<RawBlockRecord> out;
  if (rt_buffer < 0) return out;
  const std::size_t size = RawBlockRecordBytes(rt_buffer);
  const std::string data = ReadWhole(file, size);
  for (std::size_t at = 0; at < data.size(); at += size)
    out.push_back(DecodeRawBlockRecord(Bytes(data) + at, rt_buffer));
  return out;
}

bool ReadCountsRecordAt(const fs::path& file, std::size_t index, CountsRecord& out) {
  std::string b;
  if (!ReadAt(file, index, kCountsRecordBytes, b)) return false;
  out = DecodeCountsRecord(Bytes(b));
  return true;
}

bool ReadHistoRecordAt(const fs::path& file, std::size_t index, HistoRecord& out) {
  std::string b;
  if (!ReadAt(file, index, kHistoRecordBytes, b)) return false;
  out = DecodeHistoRecord(Bytes(b));
  return true;
}

bool ReadRawBlockAt(const fs::path& file, std::size_t index, int rt_buffer,
                    RawBlockRecord& out) {
  if (rt_buffer < 0) return false;
  std::string b;
  if (!ReadAt(file, index, RawBlockRecordBytes(rt_buffer), b)) return false;
  out = DecodeRawBlockRecord(Bytes(b), rt_buffer);
  return true;
}

bool ReadRunRawBlock(const fs::path& run_folder, std::size_t bin, int rt_buffer,
                     RawBlockRecord& out) {
  if (rt_buffer < 0) return false;
  RunRawBlockReader reader(run_folder, rt_buffer);
  std::vector<int16_t> levels(std::size_t(rt_buffer + 1) * kChannelSlots);
  if (!reader.Read(bin, levels.data())) return false;
  out.rt_buffer = rt_buffer;
  out.levels = std::move(levels);
  return true;
}

RunRawBlockReader::RunRawBlockReader(fs::path run_folder, int rt_buffer)
    : folder_(std::move(run_folder)),
      block_bytes_(rt_buffer < 0 ? 0 : RawBlockRecordBytes(rt_buffer)) {}

bool RunRawBlockReader::Read(std::size_t bin, int16_t* levels) {
  if (block_bytes_ == 0) return false;
  const auto file = static_cast<long long>(bin / kRecordsPerFile);
  const std::size_t index = bin % kRecordsPerFile;
  if (file != open_file_) {
    open_file_ = -1;
    in_ = platform::ReadOnlyFile(folder_ / RawFileName(static_cast<int>(file)));
    if (!in_.ok()) return false;
    records_in_file_ = static_cast<std::size_t>(in_.size() / block_bytes_);
    open_file_ = file;
  }
  if (index >= records_in_file_) return false;
  if (in_.ReadAt(index * block_bytes_, levels, block_bytes_) !=
      static_cast<std::int64_t>(block_bytes_))
    return false;
  if constexpr (std::endian::native != std::endian::little) {
    const auto* p = reinterpret_cast<const unsigned char*>(levels);
    std::vector<int16_t> swapped(block_bytes_ / 2);
    for (std::size_t i = 0; i < swapped.size(); ++i) swapped[i] = Get16(p + 2 * i);
    std::copy(swapped.begin(), swapped.end(), levels);
  }
  return true;
}

bool ReadRunHistoRecord(const fs::path& run_folder, std::size_t bin, HistoRecord& out) {
  return ReadHistoRecordAt(run_folder / HistoFileName(int(bin / kRecordsPerFile)),
                           bin % kRecordsPerFile, out);
}

bool WriteCountsFile(const fs::path& file, const std::vector<CountsRecord>& records) {
  std::string data;
  data.reserve(records.size() * kCountsRecordBytes);
  for (const auto& r : records) data += EncodeCountsRecord(r);
  return storage::WriteFileAtomic(file, data);
}

RunRewrite ReplaceCountsAndSetup(const fs::path& run_folder,
                                 const std::vector<CountsRecord>& records,
                                 const std::string& setup_bytes, const CommitStep& step,
                                 std::string* note) {
  const fs::path counts = run_folder / CountsFileName();
  const fs::path setup = run_folder / "setup.dat";
  const std::optional<std::string> old_counts = ReadWholeFile(counts);
  const std::optional<std::string> old_setup = ReadTextFile(setup);
  if (!old_counts || !old_setup) return RunRewrite::kUnreadable;

  // The backups change with the pair or not at all: a refused Replace keeps the ones
  // it found. Renamed in this order: counts.bak, setup.bak, counts.bin, setup.dat.
  FileSetRewrite rewrite(run_folder);
  platform::AtomicFileWriter& counts_bak = rewrite.File("counts.bak");
  counts_bak.Write(*old_counts);
  platform::AtomicFileWriter& setup_bak = rewrite.File("setup.bak");
  setup_bak.Write(*old_setup);
  platform::AtomicFileWriter& new_counts = rewrite.File(CountsFileName());
  for (const auto& r : records) new_counts.Write(EncodeCountsRecord(r));
  platform::AtomicFileWriter& new_setup = rewrite.File("setup.dat");
  new_setup.Write(setup_bytes);
  if (new_counts.Prepare() != 0 || new_setup.Prepare() != 0) return RunRewrite::kWriteFailed;
  const SetCommit result = rewrite.Commit(step);
  if (note) *note = SetCommitNote(rewrite, result);
  switch (result) {
    case SetCommit::kDone:
      return RunRewrite::kOk;
    case SetCommit::kUnsynced:
      return RunRewrite::kUnsynced;
    case SetCommit::kPendingList:
      return RunRewrite::kPendingList;
    case SetCommit::kNotAFile:
      return RunRewrite::kNotAFile;
    case SetCommit::kUnchanged:
      return counts_bak.error() != 0 || setup_bak.error() != 0 ? RunRewrite::kBackupFailed
                                                               : RunRewrite::kWriteFailed;
    case SetCommit::kPartlyRenamed:
      break;
  }
  if (rewrite.left_pending()) return RunRewrite::kLeftPending;
  // setup.dat's new file vanished after counts.bin's rename: nothing can finish the set,
  // so counts.bin goes back (put back once renamed, even if its sync fails).
  if (rewrite.renamed() == 3) {
    platform::AtomicFileWriter put_back(counts);
    put_back.Write(*old_counts);
    put_back.Commit();
    if (!put_back.in_place()) return RunRewrite::kMixed;
  }
  return RunRewrite::kBackupsOnly;
}

}  // namespace storage
