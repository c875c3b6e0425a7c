#include "KeywordIndex.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>

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
    std::vector<uint32_t>& mine = tokensOf_[node];
    if (std::find(mine.begin(), mine.end(), id) != mine.end()) continue;
    mine.push_back(id);
    nodesOf_[id].push_back(node);
  }
}

void KeywordIndex::remove(Node* node) {
  auto it = tokensOf_.find(node);
  if (it == tokensOf_.end()) return;
  for (uint32_t id : it->second) {
    std::vector<Node*>& holders = nodesOf_[id];
    holders.erase(std::remove(holders.begin(), holders.end(), node), holders.end());
  }
  tokensOf_.erase(it);
}

std::string KeywordIndex::keywordsOf(const Node* node) const {
  std::string out;
  auto it = tokensOf_.find(node);
  if (it == tokensOf_.end()) return out;
  std::vector<const std::string*> texts;
  for (uint32_t id : it->second) texts.push_back(&text(id));
  std::sort(texts.begin(), texts.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
  for (const std::string* t : texts) {
    if (!out.empty()) out += ", ";
    out += *t;
  }
  return out;
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
      std::cout << score.toText() << "\n";
    }
    out.emplace_back(key.second, score.value());
  }
  return out;
}

}  // namespace qorn
