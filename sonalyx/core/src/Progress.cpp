#include "Progress.h"

#include <algorithm>
#include <cstring>

namespace sonalyx {

std::int32_t ProgressReporter::report(int current, int total, std::u16string_view text,
                                      const StageCounts& counts) const {
  if (!fn_) return 0;
  ProgressRecord record;
  std::memset(&record, 0, sizeof record);
  record.current = current;
  record.total = total;
  constexpr std::size_t kMaxChars = sizeof record.text / sizeof record.text[0] - 1;
  std::size_t n = std::min(text.size(), kMaxChars);
  // Never leave half of a surrogate pair at the cut.
  if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  std::copy_n(text.data(), n, record.text);
  record.hashed = counts.hashed;
  record.skipped = counts.skipped;
  record.analysed = counts.analysed;
  record.pending = counts.pending;
  try {
    return fn_(handle_, context_, &record);
  } catch (...) {
    return ZARVELL_E_ABORT;  // a callback that throws cannot be trusted to go on
  }
}

std::u16string scanningText() { return u"Scanning Database"; }

std::u16string scanningPercentText(int percent) {
  std::u16string text = u"Scanning Database (";
  for (char c : std::to_string(percent)) text.push_back(static_cast<char16_t>(c));
  text += u"%)";
  return text;
}

std::u16string completeText() { return u"Step Processing Complete"; }

std::u16string fileNameOf(const char16_t* path) {
  if (!path) return std::u16string();
  const std::u16string_view view(path);
  const std::size_t slash = view.rfind(u'/');
  return std::u16string(slash == std::u16string_view::npos ? view : view.substr(slash + 1));
}

}  // namespace sonalyx
