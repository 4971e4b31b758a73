#include "xlsx/crc32.h"

#include <array>
#include <cstring>

namespace xlsx {
namespace {

// Eight tables let the loop consume eight bytes per step (slicing-by-8); table 0 is
// the classic one-lookup-per-byte table.
struct CrcTables {
  std::array<std::array<uint32_t, 256>, 8> t{};
  CrcTables() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
      for (size_t s = 1; s < 8; ++s) t[s][n] = (t[s - 1][n] >> 8) ^ t[0][t[s - 1][n] & 0xFFu];
  }
};

const CrcTables& Tables() {
  static const CrcTables tables;  // built once, on the first checksum
  return tables;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
  const auto& t = Tables().t;
  const auto* p = static_cast<const unsigned char*>(data);
  uint32_t c = ~crc;
  while (size >= 8) {
    // Byte-wise loads keep this independent of the host's byte order and alignment.
    const uint32_t lo =
        c ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    const uint32_t hi =
        uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
    c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
        t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    p += 8;
    size -= 8;
  }
  while (size-- > 0) c = t[0][(c ^ *p++) & 0xFFu] ^ (c >> 8);
  return ~c;
}

uint32_t Crc32Bytes(std::string_view bytes) { return Crc32Update(0, bytes.data(), bytes.size()); }

}  // namespace xlsx
