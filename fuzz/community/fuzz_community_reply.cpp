// Fuzzes the community reply reader. The first byte picks the mode and the number of songs
// of the chunk (1..25); the rest is the reply:
//   even first byte: the reply as the server sends it (UTF-8) through applyDownloadReply;
//   odd first byte:  the rest read as raw UTF-16LE units straight into the XML reader.
// Invariants checked: a song gets hasFeatures only from a used reply, and every feature
// written from a reply is finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CommunityReply.h"
#include "XmlNode.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void fuzzReply(const char* data, std::size_t size, int songs) {
  std::vector<FESyncItem> items(static_cast<std::size_t>(songs));
  std::vector<FeatureResult> results(static_cast<std::size_t>(songs));
  std::vector<sonalyx::SongRef> refs;
  for (std::size_t i = 0; i < items.size(); ++i) refs.push_back({&items[i], &results[i]});
  const std::int32_t outcome = sonalyx::applyDownloadReply(std::string_view(data, size), refs);
  for (const FeatureResult& r : results) {
    if (outcome != 0) check(r.hasFeatures == 0);
    float f[SONALYX_FEATURE_COUNT];
    std::memcpy(f, reinterpret_cast<const char*>(&r) + offsetof(FeatureResult, features),
                sizeof f);
    for (float v : f) check(std::isfinite(v));
  }
}

void walk(const sonalyx::XmlNode& node, int depth) {
  check(depth <= sonalyx::kXmlMaxDepth + 1);
  for (const auto& child : node.children) walk(child, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int songs = data[0] / 2 % SONALYX_CHUNK_SIZE + 1;
  const char* rest = reinterpret_cast<const char*>(data + 1);
  const std::size_t restSize = size - 1;
  if (data[0] % 2 == 0) {
    fuzzReply(rest, restSize, songs);
  } else {
    std::u16string text(restSize / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<char16_t>(static_cast<unsigned char>(rest[2 * i]) |
                                      (static_cast<unsigned char>(rest[2 * i + 1]) << 8));
    std::string error;
    const sonalyx::XmlNode doc = sonalyx::parseXml(text, &error);
    if (!error.empty()) check(doc.children.empty() && doc.attributes.empty());
    walk(doc, 0);
  }
  return 0;
}
