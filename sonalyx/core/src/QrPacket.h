// The community packet: one XML document (UTF-16, LF line ends) that lists songs by sample
// hash, with their metadata and, for an upload, their 72 features.
#pragma once

#include <string>
#include <string_view>

#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// Escapes a text attribute value by successive replace-all passes in a fixed order:
// & < > ' become entities, TAB is removed, " becomes &quot;, LF becomes a space. Never
// throws beyond std::bad_alloc.
std::u16string escapeValue(std::u16string_view value);

// Formats a feature value as the C format "%0.8f" does in the C locale, independently of
// the process locale.
std::string formatFeature(float value);

// Builds one packet. Usage: addDownloadEntry()/addUploadEntry() per song, then finish().
// Writing an entry sets the song's `sent` field to 1. Not thread-safe; never throws beyond
// std::bad_alloc.
class QrPacket {
 public:
  QrPacket();

  // Hash line only, plus the download metadata when item.sendMetadata is non-zero.
  void addDownloadEntry(FESyncItem& item, const FeatureResult& result);
  // Upload metadata, hash line and the FT element with the result's 72 features.
  void addUploadEntry(FESyncItem& item, const FeatureResult& result);
  // Appends the closing tag; the text is complete afterwards.
  void finish();

  int entries() const { return entries_; }
  const std::u16string& text() const { return text_; }

 private:
  void beginEntry();
  void endEntry(FESyncItem& item);
  void hashLine(const FeatureResult& result);
  void textAttribute(const char* name, const char16_t* value);
  void intAttribute(const char* name, std::int32_t value);
  void ascii(std::string_view text);

  std::u16string text_;
  int entries_ = 0;
};

}  // namespace sonalyx
