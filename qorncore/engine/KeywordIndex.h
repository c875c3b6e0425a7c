// KeywordIndex: keyword tokens of the nodes, for keyword search and the keyword texts.
//
// Holds node pointers without references: the engine removes a node from the index before
// the node leaves the network. Single-threaded; nothing here throws except bad_alloc.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Node.h"

namespace qorn {

class KeywordIndex {
 public:
  // Lower-cases and tokenizes the text (stop words filtered) and files the node under
  // each token.
  void add(const std::string& text, Node* node);
  void remove(Node* node);
  // The node's tokens in ascending order joined by ", ".
  std::string keywordsOf(const Node* node) const;
  // Scores in (0, 1] of every node matching a query token (weight e^(-0.1 (n - 1)) for a
  // token on n nodes, summed, divided by the highest score), in ascending node id order.
  // Each normalised score is written to standard output on a line of its own.
  std::vector<std::pair<Node*, float>> search(const std::string& text) const;
  // Makes keywordsOf cheap for a whole-network walk (the network writer calls it first);
  // the per-node token sets are always kept, so there is nothing to prepare.
  void prepare() const {}

 private:
  // Tokens are interned: each text is stored once and named by its number, so a large
  // library costs a few bytes per (node, token) pair.
  uint32_t intern(const std::string& token);
  const std::string& text(uint32_t token) const { return tokens_[token]; }

  std::deque<std::string> tokens_;
  std::unordered_map<std::string_view, uint32_t> tokenIds_;  // views into tokens_
  std::vector<std::vector<Node*>> nodesOf_;                 // by token number
  std::unordered_map<const Node*, std::vector<uint32_t>> tokensOf_;
};

}  // namespace qorn
