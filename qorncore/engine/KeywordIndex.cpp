#include "KeywordIndex.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>

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

void KeywordIndex::add(const std::string& text, Node* node) {
  if (!node) return;
  for (const std::string& token : qornstring(lowerAscii(text)).tokenize(true)) {
    byToken_[token].insert(node);
    byNode_[node].insert(token);
  }
}

void KeywordIndex::remove(Node* node) {
  auto it = byNode_.find(node);
  if (it == byNode_.end()) return;
  for (const std::string& token : it->second) {
    auto t = byToken_.find(token);
    if (t == byToken_.end()) continue;
    t->second.erase(node);
    if (t->second.empty()) byToken_.erase(t);
  }
  byNode_.erase(it);
}

std::string KeywordIndex::keywordsOf(const Node* node) const {
  std::string out;
  auto it = byNode_.find(node);
  if (it == byNode_.end()) return out;
  for (const std::string& token : it->second) {
    if (!out.empty()) out += ", ";
    out += token;
  }
  return out;
}

std::vector<std::pair<Node*, float>> KeywordIndex::search(const std::string& text) const {
  std::map<std::pair<int32_t, Node*>, qornfloat> scores;  // id order, deterministic
  for (const std::string& token : qornstring(lowerAscii(text)).tokenize(true)) {
    auto it = byToken_.find(token);
    if (it == byToken_.end()) continue;
    const float n = static_cast<float>(it->second.size());
    const qornfloat weight(std::exp(-0.1f * (n - 1.0f)));
    for (Node* node : it->second) scores[{node->id, node}] += weight;
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
