#include "xlsx/utf8.h"

namespace xlsx {

size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const size_t n = s.size();
  if (i >= n) return 0;
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const auto cont = [&](size_t k) { return k < n && (b(k) & 0xC0) == 0x80; };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(i + 1) || !cont(i + 2)) return 0;
    if (c == 0xE0 && b(i + 1) < 0xA0) return 0;  // overlong
    if (c == 0xED && b(i + 1) > 0x9F) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
    if (c == 0xF0 && b(i + 1) < 0x90) return 0;  // overlong
    if (c == 0xF4 && b(i + 1) > 0x8F) return 0;  // past U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace xlsx
