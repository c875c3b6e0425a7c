// Helpers of the community tests: songs with owned metadata texts, the reply documents the
// server would send, and reading a packet back out of a recorded request.
#pragma once

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "CommunityConnection.h"
#include "CommunityFixtureServer.h"
#include "Multipart.h"
#include "sonalyx/Sonalyx.h"
#include "zarvell/text.h"

namespace sonalyx::test {

// A batch of songs: FESyncItem records whose texts live in this object, with results.
class CommunitySongs {
 public:
  explicit CommunitySongs(int n) : items_(static_cast<std::size_t>(n)), results_(items_.size()) {
    for (int i = 0; i < n; ++i) {
      char md5[SONALYX_HASH_CHARS + 1];
      std::snprintf(md5, sizeof md5, "%032x", 0xabc000 + i);
      std::memcpy(results_[static_cast<std::size_t>(i)].md5, md5, sizeof md5);
    }
  }
  // Stores a text and returns the pointer to hand to a record field.
  const char16_t* text(const std::u16string& value) {
    texts_.push_back(value);
    return texts_.back().c_str();
  }
  FESyncItem& item(int i) { return items_[static_cast<std::size_t>(i)]; }
  FeatureResult& result(int i) { return results_[static_cast<std::size_t>(i)]; }
  void setFeatures(int i, const std::vector<float>& values) {
    std::memcpy(reinterpret_cast<char*>(&result(i)) + offsetof(FeatureResult, features),
                values.data(), sizeof(float) * SONALYX_FEATURE_COUNT);
  }
  std::vector<SongRef> refs() {
    std::vector<SongRef> out;
    for (std::size_t i = 0; i < items_.size(); ++i)
      out.push_back(SongRef{&items_[i], &results_[i]});
    return out;
  }
  int size() const { return static_cast<int>(items_.size()); }

 private:
  std::vector<FESyncItem> items_;
  std::vector<FeatureResult> results_;
  std::deque<std::u16string> texts_;  // stable addresses
};

inline std::string multipartHead() {
  return std::string("--") + kMultipartBoundary +
         "\r\nContent-Disposition: form-data; name=\"uploaded\"; filename=\"packet.xml\"\r\n\r\n";
}
inline std::string multipartTail() {
  return std::string("\r\n--") + kMultipartBoundary + "--\r\n";
}

inline std::string utf16le(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// The packet text (UTF-8) of a recorded request; empty when the body is not one framed part.
inline std::string packetOf(const RecordedRequest& request) {
  const std::string head = multipartHead(), tail = multipartTail();
  const std::string& b = request.body;
  if (b.size() < head.size() + tail.size() || b.compare(0, head.size(), head) != 0 ||
      b.compare(b.size() - tail.size(), tail.size(), tail) != 0)
    return std::string();
  const std::string raw = b.substr(head.size(), b.size() - head.size() - tail.size());
  if (raw.size() % 2) return std::string();
  std::u16string text;
  for (std::size_t i = 0; i < raw.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                         (static_cast<unsigned char>(raw[i + 1]) << 8)));
  return zarvell::utf16ToUtf8(text);
}

inline int countOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) ++n;
  return n;
}

// The value the tests' server sends for feature k of song g.
inline float serverFeature(int g, int k) {
  return static_cast<float>(g) + static_cast<float>(k) / 128.0f;
}

// An FT element with the features of song g, leaving out attribute `skip` (-1: none).
inline std::string ftElement(int g, int skip = -1) {
  std::string out = "<FT";
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k) {
    if (k == skip) continue;
    char value[64];
    std::snprintf(value, sizeof value, " f%d=\"%0.8f\"", 300 + k,
                  static_cast<double>(serverFeature(g, k)));
    out += value;
  }
  return out + "/>";
}

inline std::string featuresXml(const std::vector<std::string>& entries) {
  std::string out = "<?xml version=\"1.0\"?>\n<QR ver='300'>\n";
  for (const auto& e : entries) out += "<ET>" + e + "</ET>\n";
  return out + "</QR>\n";
}

}  // namespace sonalyx::test
