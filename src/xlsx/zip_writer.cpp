#include "xlsx/zip_writer.h"

#include <algorithm>

#include "xlsx/crc32.h"

namespace xlsx {
namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint16_t kVersion = 20;
constexpr uint16_t kUtf8NameFlag = 0x0800;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint64_t kMax16 = 0xFFFFu;

void Put16(std::string& out, uint16_t v) {
  const char b[2] = {char(v & 0xFF), char(v >> 8)};
  out.append(b, 2);
}

void Put32(std::string& out, uint32_t v) {
  const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
  out.append(b, 4);
}

}  // namespace

int16_t UIntToSignedInt(int32_t value) {
  return static_cast<int16_t>(value >= 32768 ? value - 65536 : value);
}

int16_t DosTimeNow(const platform::WallTime& t) {
  const int word = (t.hour & 31) * 2048 + (t.minute & 63) * 32 + ((t.second / 2) & 31);
  return UIntToSignedInt(word);
}

int16_t DosDateNow(const platform::WallTime& t) {
  const int year = std::clamp(t.year, 1980, 2107);
  const int word = (year - 1980) * 512 + (t.month & 15) * 32 + (t.day & 31);
  return UIntToSignedInt(word);
}

StoredZipWriter::StoredZipWriter(ZipOutput& out, int16_t dos_time, int16_t dos_date)
    : out_(out), time_(static_cast<uint16_t>(dos_time)), date_(static_cast<uint16_t>(dos_date)) {}

void StoredZipWriter::PutHeader(uint32_t signature, const Entry& e, bool central) {
  std::string& h = header_;
  h.clear();
  Put32(h, signature);
  if (central) Put16(h, kVersion);  // version made by
  Put16(h, kVersion);               // version needed to extract
  Put16(h, kUtf8NameFlag);
  Put16(h, 0);  // stored
  Put16(h, time_);
  Put16(h, date_);
  Put32(h, e.crc);
  Put32(h, static_cast<uint32_t>(e.size));
  Put32(h, static_cast<uint32_t>(e.size));
  Put16(h, static_cast<uint16_t>(e.name.size()));
  Put16(h, 0);  // extra field length
  if (central) {
    Put16(h, 0);  // comment length
    Put16(h, 0);  // disk number start
    Put16(h, 0);  // internal attributes
    Put32(h, 0);  // external attributes
    Put32(h, static_cast<uint32_t>(e.header_offset));
  }
  h.append(e.name);
  out_.Write(h);
}

void StoredZipWriter::BeginEntry(std::string_view utf8_name) {
  if (open_) EndEntry();
  Entry e;
  e.name.assign(utf8_name);
  e.header_offset = out_.size();
  if (e.name.size() > kMax16 || e.header_offset > kMax32) fits_ = false;
  PutHeader(kLocalSignature, e, false);  // CRC and sizes are patched by EndEntry
  entries_.push_back(std::move(e));
  open_ = true;
}

void StoredZipWriter::Append(std::string_view data) {
  if (!open_ || data.empty()) return;
  Entry& e = entries_.back();
  e.crc = Crc32Update(e.crc, data.data(), data.size());
  e.size += data.size();
  out_.Write(data);
}

bool StoredZipWriter::EndEntry() {
  if (!open_) return false;
  open_ = false;
  const Entry& e = entries_.back();
  if (e.size > kMax32) {
    fits_ = false;
    return false;
  }
  std::string patch;
  Put32(patch, e.crc);
  Put32(patch, static_cast<uint32_t>(e.size));
  Put32(patch, static_cast<uint32_t>(e.size));
  out_.WriteAt(e.header_offset + 14, patch);
  return true;
}

bool StoredZipWriter::AddEntry(std::string_view utf8_name, std::string_view data) {
  BeginEntry(utf8_name);
  Append(data);
  return EndEntry();
}

bool StoredZipWriter::Finish() {
  if (open_) EndEntry();
  const uint64_t directory_offset = out_.size();
  for (const Entry& e : entries_) PutHeader(kCentralSignature, e, true);
  const uint64_t directory_size = out_.size() - directory_offset;
  if (entries_.size() > kMax16 || directory_offset > kMax32 || directory_size > kMax32)
    fits_ = false;
  std::string& end = header_;
  end.clear();
  Put32(end, kEndSignature);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, static_cast<uint16_t>(entries_.size()));
  Put16(end, static_cast<uint16_t>(entries_.size()));
  Put32(end, static_cast<uint32_t>(directory_size));
  Put32(end, static_cast<uint32_t>(directory_offset));
  Put16(end, 0);
  out_.Write(end);
  return fits_;
}

}  // namespace xlsx
