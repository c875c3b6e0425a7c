#include "QrPacket.h"

#include <cstring>

#include "Progress.h"
#include "qorncore/datatypes/NumberText.h"

namespace sonalyx {
namespace {

void replaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = text.find(from, pos);
    if (hit == std::u16string::npos) break;
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text, pos, std::u16string::npos);
  text.swap(out);
}

// Packed records: fields are read by value, never bound to references.
std::string hashOf(const FeatureResult& result) {
  char md5[SONALYX_HASH_CHARS + 1];
  std::memcpy(md5, result.md5, sizeof md5);
  md5[SONALYX_HASH_CHARS] = '\0';
  return std::string(md5);
}

float featureOf(const FeatureResult& result, int k) {
  float value;
  std::memcpy(&value,
              reinterpret_cast<const char*>(&result) + offsetof(FeatureResult, features) +
                  static_cast<std::size_t>(k) * sizeof(float),
              sizeof value);
  return value;
}

}  // namespace

std::u16string escapeValue(std::u16string_view value) {
  std::u16string text(value);
  replaceAll(text, u"&", u"&amp;");
  replaceAll(text, u"<", u"&lt;");
  replaceAll(text, u">", u"&gt;");
  replaceAll(text, u"'", u"&apos;");
  replaceAll(text, u"\t", u"");
  replaceAll(text, u"\"", u"&quot;");
  replaceAll(text, u"\n", u" ");
  return text;
}

std::string formatFeature(float value) {
  return qorn::formatFixed(static_cast<double>(value), 8);
}

QrPacket::QrPacket() {
  ascii("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QR ver='300'>\n");
}

void QrPacket::ascii(std::string_view text) {
  for (char c : text) text_.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

void QrPacket::beginEntry() {
  ascii("<ET>\n\t<MD\n");
}

void QrPacket::endEntry(FESyncItem& item) {
  ascii("</ET>\n");
  item.sent = 1;
  ++entries_;
}

void QrPacket::hashLine(const FeatureResult& result) {
  ascii("\t\tmd5=\"");
  ascii(hashOf(result));
  ascii("\"\n");
}

void QrPacket::textAttribute(const char* name, const char16_t* value) {
  if (!value || !*value) return;
  ascii("\t\t");
  ascii(name);
  ascii("=\"");
  text_ += escapeValue(value);
  ascii("\"\n");
}

void QrPacket::intAttribute(const char* name, std::int32_t value) {
  if (value == 0) return;
  ascii("\t\t");
  ascii(name);
  ascii("=\"");
  ascii(std::to_string(value));
  ascii("\"\n");
}

void QrPacket::addDownloadEntry(FESyncItem& item, const FeatureResult& result) {
  beginEntry();
  if (item.sendMetadata != 0) {
    const std::u16string fileName = fileNameOf(item.path);
    textAttribute("ar", item.artist);
    textAttribute("al", item.album);
    intAttribute("dr", item.duration);
    textAttribute("gr", item.genre);
    textAttribute("nm", item.name);
    textAttribute("fn", fileName.c_str());
    intAttribute("yp", item.year);
  }
  hashLine(result);
  ascii("\t\t/>\n");
  endEntry(item);
}

void QrPacket::addUploadEntry(FESyncItem& item, const FeatureResult& result) {
  beginEntry();
  const std::u16string fileName = fileNameOf(item.path);
  textAttribute("al", item.album);
  textAttribute("ar", item.artist);
  intAttribute("bm", item.intBm);
  textAttribute("cd", item.textCd);
  textAttribute("cp", item.textCp);
  textAttribute("ct", item.textCt);
  intAttribute("dr", item.duration);
  textAttribute("fn", fileName.c_str());
  textAttribute("gr", item.genre);
  intAttribute("id", item.intId);
  textAttribute("ik", item.textIk);
  textAttribute("lg", item.textLg);
  textAttribute("mo", item.textMo);
  textAttribute("nm", item.name);
  textAttribute("pb", item.textPb);
  textAttribute("pd", item.textPd);
  textAttribute("pr", item.textPr);
  textAttribute("st", item.textSt);
  intAttribute("tn", item.intTn);
  textAttribute("wt", item.textWt);
  intAttribute("yp", item.year);
  intAttribute("yr", item.intYr);
  hashLine(result);
  ascii("\t\t/>\n\t<FT");
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k) {
    ascii(" f");
    ascii(std::to_string(300 + k));
    ascii("=\"");
    ascii(formatFeature(featureOf(result, k)));
    ascii("\"");
  }
  ascii(" />\n");
  endEntry(item);
}

void QrPacket::finish() {
  ascii("</QR>\n");
}

}  // namespace sonalyx
