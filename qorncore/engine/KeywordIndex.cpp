#include "KeywordIndex.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <map>

#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/qornfloat.h"
#include "qorncore/datatypes/qornstring.h"

namespace qorn {
namespace {

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

KeywordIndex::~KeywordIndex() {
  for (const std::vector<Node*>& holders : nodesOf_)
    for (Node* node : holders) std::vector<uint32_t>().swap(node->keywordTokens);
}

uint32_t KeywordIndex::intern(const std::string& token) {
  auto it = tokenIds_.find(token);
  if (it != tokenIds_.end()) return it->second;
  const auto id = static_cast<uint32_t>(tokens_.size());
  tokens_.push_back(token);  // a deque never moves its elements: the view stays valid
  nodesOf_.emplace_back();
  tokenIds_.emplace(tokens_.back(), id);
  return id;
}

void KeywordIndex::add(const std::string& text, Node* node) {
  if (!node) return;
  for (const std::string& token : qornstring(lowerAscii(text)).tokenize(true)) {
    const uint32_t id = intern(token);
    std::vector<uint32_t>& mine = node->keywordTokens;
    // Kept in text order, so the keyword text is a plain join.
    auto at =
        std::lower_bound(mine.begin(), mine.end(), token,
                         [this](uint32_t t, const std::string& x) { return this->text(t) < x; });
    if (at != mine.end() && *at == id) continue;
    mine.insert(at, id);
    nodesOf_[id].push_back(node);
  }
}

void KeywordIndex::remove(Node* node) {
  if (!node) return;
  for (uint32_t id : node->keywordTokens) {
    std::vector<Node*>& holders = nodesOf_[id];
    holders.erase(std::remove(holders.begin(), holders.end(), node), holders.end());
  }
  std::vector<uint32_t>().swap(node->keywordTokens);
}

std::string KeywordIndex::keywordsOf(const Node* node) const {
  std::string out;
  appendKeywords(node, out);
  return out;
}

void KeywordIndex::appendKeywords(const Node* node, std::string& out) const {
  if (!node) return;
  bool first = true;
  for (uint32_t id : node->keywordTokens) {
    if (id >= tokens_.size()) continue;  // not a number of this index
    if (!first) out.append(", ");
    out.append(text(id));
    first = false;
  }
}

std::vector<std::pair<Node*, float>> KeywordIndex::search(const std::string& text) const {
  std::map<std::pair<int32_t, Node*>, qornfloat> scores;  // id order, deterministic
  for (const std::string& token : qornstring(lowerAscii(text)).tokenize(true)) {
    auto it = tokenIds_.find(token);
    if (it == tokenIds_.end()) continue;
    const std::vector<Node*>& holders = nodesOf_[it->second];
    if (holders.empty()) continue;
    const float n = static_cast<float>(holders.size());
    const qornfloat weight(std::exp(-0.1f * (n - 1.0f)));
    for (Node* node : holders) scores[{node->id, node}] += weight;
  }
  std::vector<std::pair<Node*, float>> out;
  qornfloat highest(0.0f);
  for (const auto& [key, score] : scores)
    if (score > highest) highest = score;
  for (auto& [key, score] : scores) {
    if (highest > qornfloat(0.0f)) {
      score = score / highest;
      engineConsole() << score.toText() << "\n";
    }
    out.emplace_back(key.second, score.value());
  }
  return out;
}

}  // namespace qorn
