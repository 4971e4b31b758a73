#pragma once
// The ZIP format's CRC-32 (reflected polynomial 0xEDB88320, initial value and final
// XOR 0xFFFFFFFF). The check value of "123456789" is 0xCBF43926.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace xlsx {

// CRC-32 of a whole byte range; 0 for an empty range.
uint32_t Crc32Bytes(std::string_view bytes);

// Continues a CRC over more bytes: Crc32Update(Crc32Update(0, a), b) == Crc32Bytes(a + b).
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);

}  // namespace xlsx
