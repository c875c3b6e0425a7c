#include "PlexEngine.h"

#include <vector>

#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {
constexpr const char* kSource = "qorncore/engine/PlexEngine";
}

PlexEngine::PlexEngine() : holder_(std::make_unique<NodeHolder>()) {}

PlexEngine::~PlexEngine() { cleanup(); }

void PlexEngine::clear() {
  if (holder_ && holder_->size() > 0) {
    cleanup();
    init();
  }
}

void PlexEngine::init() {
  holder_ = createNodeHolder();
  step_ = 0;
}

void PlexEngine::cleanup() {
  if (!holder_) return;
  // Collect first: the holder's own index references go with it, the engine's after.
  std::vector<Node*> nodes(holder_->allNodes().begin(), holder_->allNodes().end());
  holder_.reset();
  for (Node* node : nodes) node->release();
}

std::unique_ptr<NodeHolder> PlexEngine::createNodeHolder() {
  return std::make_unique<NodeHolder>();
}

int PlexEngine::loadNet(const char*) {
  QORN_LOG(Debug, kSource, "load_net: in black box method\n");
  return 0;
}

int PlexEngine::saveNet(const char*) { return 0; }

int PlexEngine::addNode(Node* node) {
  if (!node) return 0;
  if (!holder_) init();
  if (node->id <= 0) node->id = holder_->largestId() + 1;
  return holder_->addNode(node);
}

qornfloat PlexEngine::decayNode(Node* node) {
  if (!node) {
    QORN_LOG(Error, kSource, "call to PlexEngine::decayNode with NULL ptr");
    return qornfloat(0.0f);
  }
  const int32_t d = step_ - node->decayedAt;
  if (d < 0) {
    step_ = node->decayedAt;
  } else if (d > 0) {
    node->activation *= qornfloat(0.95f).pow(d);
    node->decayedAt = step_;
  }
  return node->activation;
}

}  // namespace qorn
