#pragma once
// A ZIP archive of stored (uncompressed) entries, written to memory or straight to a
// file as the entries are made: each local header is written with CRC and sizes 0
// and patched once its entry ends, so no entry has to be held whole.
//
// Layout, every field little-endian and packed:
//   for each entry:  local header (30 bytes) + UTF-8 name + data
//     50 4B 03 04 | version 20 | flags 0x0800 (UTF-8 name) | method 0 | DOS time | DOS date
//     | CRC-32 | size | size | name length | extra length 0
//   for each entry, same order: central header (46 bytes) + name
//     50 4B 01 02 | made by 20 | needed 20 | flags 0x0800 | method 0 | DOS time | DOS date
//     | CRC-32 | size | size | name length | extra 0 | comment 0 | disk 0 | internal attrs 0
//     | external attrs 0 | offset of the local header
//   end record (22 bytes):
//     50 4B 05 06 | disk 0 | directory disk 0 | entries | entries | directory size
//     | directory offset | comment length 0
// No data descriptors, extra fields, comments, folder entries or ZIP64 records: sizes and
// offsets must fit 32 bits, counts and name lengths 16 bits.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace xlsx {

// The DOS time word: hour * 2048 + minute * 32 + seconds / 2 (fields masked to 5, 6, 5 bits).
int16_t DosTimeNow(const platform::WallTime& t);
// The DOS date word: (year - 1980) * 512 + month * 32 + day, the year clamped to 1980..2107.
int16_t DosDateNow(const platform::WallTime& t);
// The signed 16-bit integer with the same two bytes as `value` (0..65535).
int16_t UIntToSignedInt(int32_t value);

// Where the archive's bytes go.
class ZipOutput {
 public:
  virtual ~ZipOutput() = default;
  virtual void Write(std::string_view bytes) = 0;
  // Overwrites bytes written before (a local header's CRC and sizes).
  virtual void WriteAt(uint64_t offset, std::string_view bytes) = 0;
  virtual uint64_t size() const = 0;
};

// The archive in memory.
class StringZipOutput final : public ZipOutput {
 public:
  void Write(std::string_view b) override { bytes.append(b); }
  void WriteAt(uint64_t offset, std::string_view b) override {
    bytes.replace(static_cast<size_t>(offset), b.size(), b);
  }
  uint64_t size() const override { return bytes.size(); }
  std::string bytes;
};

class StoredZipWriter {
 public:
  // Every entry carries the same time and date words.
  StoredZipWriter(ZipOutput& out, int16_t dos_time, int16_t dos_date);

  // Starts an entry; its bytes follow through Append, then EndEntry fills in CRC and
  // sizes. EndEntry is false when the entry is too large for the 32-bit size field.
  void BeginEntry(std::string_view utf8_name);
  void Append(std::string_view data);
  bool EndEntry();
  bool AddEntry(std::string_view utf8_name, std::string_view data);

  // Appends the central directory and the end record. False when a count, a size or an
  // offset does not fit its field; the archive is then not valid.
  bool Finish();

 private:
  struct Entry {
    std::string name;
    uint64_t header_offset = 0;
    uint32_t crc = 0;
    uint64_t size = 0;
  };
  void PutHeader(uint32_t signature, const Entry& e, bool central);

  ZipOutput& out_;
  std::string header_;
  std::vector<Entry> entries_;
  uint16_t time_, date_;
  bool open_ = false;
  bool fits_ = true;
};

}  // namespace xlsx
