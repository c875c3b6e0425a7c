// KeywordIndex: keyword tokens of the nodes, for keyword search and the keyword texts.
//
// Holds node pointers without references: the engine removes a node from the index before
// the node leaves the network. Each node keeps its own token numbers (Node::keywordTokens),
// so the keyword text of a node needs no lookup. Single-threaded; nothing here throws except
// bad_alloc.
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
  KeywordIndex() = default;
  // Clears the token numbers of every node still filed here: a node that outlives its
  // network (held by a client) must not keep numbers of an index that is gone.
  ~KeywordIndex();
  KeywordIndex(const KeywordIndex&) = delete;
  KeywordIndex& operator=(const KeywordIndex&) = delete;

  // Lower-cases and tokenizes the text (stop words filtered) and files the node under
  // each token.
  void add(const std::string& text, Node* node);
  void remove(Node* node);
  // The node's tokens in ascending order joined by ", ".
  std::string keywordsOf(const Node* node) const;
  // The same text appended to `out` (the network writer walks every node with it).
  void appendKeywords(const Node* node, std::string& out) const;
  // Scores in (0, 1] of every node matching a query token (weight e^(-0.1 (n - 1)) for a
  // token on n nodes, summed, divided by the highest score), in ascending node id order.
  // Each normalised score is written to standard output on a line of its own.
  std::vector<std::pair<Node*, float>> search(const std::string& text) const;
  // Makes keywordsOf cheap for a whole-network walk (the network writer calls it first);
  // each node's tokens are always kept in text order, so there is nothing to prepare.
  void prepare() const {}

 private:
  // Tokens are interned: each text is stored once and named by its number, so a large
  // library costs a few bytes per (node, token) pair.
  uint32_t intern(const std::string& token);
  const std::string& text(uint32_t token) const { return tokens_[token]; }

  std::deque<std::string> tokens_;
  std::unordered_map<std::string_view, uint32_t> tokenIds_;  // views into tokens_
  std::vector<std::vector<Node*>> nodesOf_;                  // by token number
};

}  // namespace qorn
