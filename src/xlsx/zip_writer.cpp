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
constexpr size_t kLocalHeaderSize = 30;
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

void Patch32(std::string& out, size_t at, uint32_t v) {
  out[at] = char(v & 0xFF);
  out[at + 1] = char((v >> 8) & 0xFF);
  out[at + 2] = char((v >> 16) & 0xFF);
  out[at + 3] = char(v >> 24);
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

StoredZipWriter::StoredZipWriter(int16_t dos_time, int16_t dos_date)
    : time_(static_cast<uint16_t>(dos_time)), date_(static_cast<uint16_t>(dos_date)) {}

void StoredZipWriter::PutHeader(uint32_t signature, const Entry& e, bool central) {
  Put32(out_, signature);
  if (central) Put16(out_, kVersion);  // version made by
  Put16(out_, kVersion);               // version needed to extract
  Put16(out_, kUtf8NameFlag);
  Put16(out_, 0);  // stored
  Put16(out_, time_);
  Put16(out_, date_);
  Put32(out_, e.crc);
  Put32(out_, static_cast<uint32_t>(e.size));
  Put32(out_, static_cast<uint32_t>(e.size));
  Put16(out_, static_cast<uint16_t>(e.name.size()));
  Put16(out_, 0);  // extra field length
  if (central) {
    Put16(out_, 0);  // comment length
    Put16(out_, 0);  // disk number start
    Put16(out_, 0);  // internal attributes
    Put32(out_, 0);  // external attributes
    Put32(out_, static_cast<uint32_t>(e.header_offset));
  }
  out_.append(e.name);
}

std::string& StoredZipWriter::BeginEntry(std::string_view utf8_name) {
  Entry e;
  e.name.assign(utf8_name);
  e.header_offset = out_.size();
  if (e.name.size() > kMax16 || e.header_offset > kMax32) fits_ = false;
  PutHeader(kLocalSignature, e, false);  // CRC and sizes are patched by EndEntry
  entries_.push_back(std::move(e));
  open_ = true;
  return out_;
}

bool StoredZipWriter::EndEntry() {
  if (!open_) return false;
  open_ = false;
  Entry& e = entries_.back();
  const size_t data_start = e.header_offset + kLocalHeaderSize + e.name.size();
  e.size = out_.size() - data_start;
  if (e.size > kMax32) {
    fits_ = false;
    return false;
  }
  e.crc = Crc32Update(0, out_.data() + data_start, e.size);
  Patch32(out_, e.header_offset + 14, e.crc);
  Patch32(out_, e.header_offset + 18, static_cast<uint32_t>(e.size));
  Patch32(out_, e.header_offset + 22, static_cast<uint32_t>(e.size));
  return true;
}

bool StoredZipWriter::AddEntry(std::string_view utf8_name, std::string_view data) {
  BeginEntry(utf8_name).append(data);
  return EndEntry();
}

bool StoredZipWriter::Finish() {
  if (open_) EndEntry();
  const uint64_t directory_offset = out_.size();
  for (const Entry& e : entries_) PutHeader(kCentralSignature, e, true);
  const uint64_t directory_size = out_.size() - directory_offset;
  if (entries_.size() > kMax16 || directory_offset > kMax32 || directory_size > kMax32)
    fits_ = false;
  Put32(out_, kEndSignature);
  Put16(out_, 0);
  Put16(out_, 0);
  Put16(out_, static_cast<uint16_t>(entries_.size()));
  Put16(out_, static_cast<uint16_t>(entries_.size()));
  Put32(out_, static_cast<uint32_t>(directory_size));
  Put32(out_, static_cast<uint32_t>(directory_offset));
  Put16(out_, 0);
  return fits_;
}

}  // namespace xlsx
