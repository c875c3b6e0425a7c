// TagLib texts as Zarvell's UTF-8, for the two readers that include TagLib.
#pragma once

#include <string>

#include <taglib/tstring.h>

#include "zarvell/text.h"

namespace orsank {

// TagLib keeps UTF-16 code units; a damaged tag may hold unpaired surrogates, which the
// platform conversion turns into U+FFFD, so every text handed out is well-formed UTF-8.
// Throws only std::bad_alloc.
inline std::string utf8(const TagLib::String& text) {
  const std::wstring& units = text.toWString();
  std::u16string utf16;
  utf16.reserve(units.size());
  for (const wchar_t unit : units) utf16.push_back(static_cast<char16_t>(unit));
  return zarvell::utf16ToUtf8(utf16);
}

}  // namespace orsank
