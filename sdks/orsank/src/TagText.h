// Texts and numbers as the tag readers hand them over the boundary. No TagLib here: both
// modules (Orsank and Velmor) and the tests use these helpers.
#pragma once

#include <cstdint>
#include <string_view>

namespace orsank {

// Copies `text` into one caller-owned tag buffer (kOrsankTextBufferSize bytes), cut at a
// UTF-8 character boundary to at most kOrsankTextMaxBytes bytes, always zero-terminated.
// A null buffer is left alone. Never throws.
void writeText(std::string_view text, char* buffer) noexcept;

// The number the text starts with, read as the C decimal conversion reads it: leading
// white space, an optional sign, then decimal digits; 0 when there are none ("1999-05"
// gives 1999, "May 1999" gives 0). Saturates at the int32_t range instead of overflowing.
// Never throws.
std::int32_t leadingNumber(std::string_view text) noexcept;

}  // namespace orsank
