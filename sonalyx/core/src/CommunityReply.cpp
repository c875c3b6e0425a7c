#include "CommunityReply.h"

#include <cmath>
#include <cstring>
#include <string>

#include "XmlNode.h"
#include "qorncore/datatypes/NumberText.h"
#include "zarvell/text.h"

namespace sonalyx {

std::optional<float> parseFeatureValue(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  if (i < text.size() && text[i] == u'+') ++i;
  std::string ascii;
  for (; i < text.size() && ascii.size() < 64; ++i) {
    const char16_t c = text[i];
    const bool numeric =
        (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'+' || c == u'e' || c == u'E';
    if (!numeric) break;
    ascii.push_back(static_cast<char>(c));
  }
  const std::optional<double> value = qorn::readDouble(ascii);
  if (!value) return std::nullopt;
  const float single = static_cast<float>(*value);
  if (!std::isfinite(single)) return std::nullopt;
  return single;
}

namespace {

void applyEntry(const XmlNode& entry, FeatureResult* result) {
  const XmlNode* features = entry.child(u"FT");
  if (!features) return;
  int found = 0;
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k) {
    const std::u16string name = u"f" + zarvell::utf8ToUtf16(std::to_string(300 + k));
    const std::u16string* text = features->attribute(name);
    if (!text) continue;
    const std::optional<float> value = parseFeatureValue(*text);
    if (!value) continue;
    const float v = *value;
    // The record is packed: write the float bytes, never through a float reference.
    std::memcpy(reinterpret_cast<char*>(result) + offsetof(FeatureResult, features) +
                    static_cast<std::size_t>(k) * sizeof(float),
                &v, sizeof v);
    ++found;
  }
  if (found == SONALYX_FEATURE_COUNT) result->hasFeatures = 1;
}

}  // namespace

std::int32_t applyDownloadReply(std::string_view reply, std::span<const SongRef> songs) {
  const std::size_t nul = reply.find('\0');
  if (nul != std::string_view::npos) reply = reply.substr(0, nul);
  if (reply.empty()) return 0;
  const XmlNode document = parseXml(zarvell::utf8ToUtf16(reply));
  const XmlNode* root = document.child(u"QR");
  if (!root) return ZARVELL_E_FAIL;
  const std::size_t entries = root->countChildren(u"ET");
  if (entries != songs.size()) return entries != 0 ? ZARVELL_E_UNEXPECTED : ZARVELL_E_INVALIDARG;
  std::size_t i = 0;
  for (const XmlNode& child : root->children) {
    if (!sameName(child.name, u"ET")) continue;
    applyEntry(child, songs[i].result);
    ++i;
  }
  return 0;
}

}  // namespace sonalyx
