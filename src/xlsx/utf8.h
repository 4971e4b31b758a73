#pragma once
#include <cstddef>
#include <string_view>

namespace xlsx {

// Length of the UTF-8 sequence starting at text[i] when it is well formed (no overlong
// form, no surrogate, nothing past U+10FFFF), 0 otherwise.
size_t Utf8SequenceLength(std::string_view text, size_t i);

}  // namespace xlsx
