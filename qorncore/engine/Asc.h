// Asc: one weighted, undirected link ("association") between two nodes.
//
// The ends are not owned. A link inside the link store (AscHolder) always has two ends; a
// link made with a null end (the network reader does that for ids naming no node) is
// reported on standard output and refused by the store.
#pragma once

#include <cstdint>

#include "Node.h"
#include "qorncore/datatypes/qornfloat.h"

namespace qorn {

struct Asc {
  Asc() = default;
  // Writes "Illegal assoc created!" to standard output when an end is null; the link is
  // still made.
  Asc(Node* fromNode, Node* toNode, qornfloat initial, int32_t step);

  Node* from = nullptr;
  Node* to = nullptr;
  qornfloat strength;
  int32_t lastvisited = 0;  // engine step of the last decay

  // The end that is not `node` (from when node is neither end).
  Node* other(const Node* node) const { return from == node ? to : from; }
  bool songToSong() const;
};

}  // namespace qorn
