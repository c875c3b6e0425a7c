// The similar-songs query: a song, its stored features and its texts as one web address
// on the similar-songs service.
#include <string>
#include <string_view>

#include "qornManager.h"
#include "qorncore/datatypes/qornfloat.h"
#include "qorncore/datatypes/qornstring.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "zarvell/deployment.h"

namespace qorn {
namespace {

// A text as a query value: the network file's escaping (the service decodes it as a
// network file reader does), and then the three bytes that would end or change the query
// in a web address: space, "#" and "+". Their escapes decode to the same bytes.
void appendValue(std::string& query, std::string_view text) {
  const qornstring escaped = qornstring(text).escapeForFile();
  for (char c : escaped.str()) {
    switch (c) {
      case ' ':
        query += "%20";
        break;
      case '#':
        query += "%23";
        break;
      case '+':
        query += "%2b";
        break;
      default:
        query += c;
    }
  }
}

}  // namespace

const char* qornManager::featuresetUrl(const Node* node, int limit, int mode) {
  const SongNode* song = node ? node->asSong() : nullptr;
  if (!song || !hasNetwork()) return nullptr;
  std::string query = zarvell::similarSongsQueryAddress();
  query += "limit=" + qornfloat(static_cast<float>(limit)).toText();
  query += "&output=" + qornfloat(static_cast<float>(mode)).toText();
  // The stored features as the analysis computed them (not normalised).
  if (const auto features = featureStore().features(song->md5, false)) {
    query += "&";
    for (std::size_t k = 0; k < features->size(); ++k) {
      if (k > 0) query += "&";
      query += "f" + std::to_string(k + 1) + "=" + qornfloat((*features)[k]).toText();
    }
  }
  query += "&name=";
  appendValue(query, song->name.str());
  query += "&artist=";
  appendValue(query, artistNames(nodes(), song->people.artists, 1));
  query += "&";
  if (song->albumId > 0) {
    if (const Node* album = findNode(song->albumId)) {
      query += "album=";
      appendValue(query, album->name.str());
      query += "&";
    }
  }
  const std::string keywords = keywordsOf(song);
  if (!keywords.empty()) {
    query += "keywords=";
    appendValue(query, keywords);
    query += "&";
  }
  query += "md5=" + song->md5;
  featuresetUrl_ = std::move(query);
  return featuresetUrl_.c_str();
}

}  // namespace qorn
