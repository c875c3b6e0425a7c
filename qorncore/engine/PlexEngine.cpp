#include "PlexEngine.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {
constexpr const char* kSource = "qorncore/engine/PlexEngine";
}

std::vector<std::pair<Node*, qornfloat>> Propagation::nodesById() const {
  std::vector<std::pair<Node*, qornfloat>> out(nodes.begin(), nodes.end());
  std::sort(out.begin(), out.end(),
            [](const auto& a, const auto& b) { return ByNodeId()(a.first, b.first); });
  return out;
}

PlexEngine::PlexEngine() : PlexEngine(std::make_unique<NodeHolder>()) {}

PlexEngine::PlexEngine(std::unique_ptr<NodeHolder> holder) { startNetwork(std::move(holder)); }

PlexEngine::~PlexEngine() { dropNetwork(); }

void PlexEngine::clear() {
  if (holder_ && holder_->size() > 0) {
    cleanup();
    init();
  }
}

void PlexEngine::init() { startNetwork(createNodeHolder()); }

void PlexEngine::startNetwork(std::unique_ptr<NodeHolder> holder) {
  // A holder that still holds nodes would leak them: drop that network first.
  if (holder_ && holder_->nodeCount() > 0) dropNetwork();
  links_.reset();
  holder_ = std::move(holder);
  keywords_ = std::make_unique<KeywordIndex>();
  links_ = std::make_unique<AscHolder>(*holder_, step_);
  hotlist_.clear();
  step_ = 0;
}

void PlexEngine::cleanup() { dropNetwork(); }

int PlexEngine::dropNode(Node* node) {
  if (!node || !holder_) return 0;
  if (keywords_) keywords_->remove(node);
  hotlist_.clear();
  const int result = holder_->removeNode(node->id);
  if (result) node->release();  // the engine's reference
  return result;
}

void PlexEngine::dropNetwork() {
  keywords_.reset();
  links_.reset();
  hotlist_.clear();
  if (!holder_) return;
  // Collect first: the holder's own index references go with it, the engine's after.
  std::vector<Node*> nodes = holder_->allNodes();
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

int PlexEngine::saveNet(const char*) {
  return 0;
}

int PlexEngine::addNode(Node* node) {
  if (!node) return 0;
  if (!holder_) init();
  if (node->id <= 0) node->id = holder_->largestId() + 1;
  const int result = holder_->addNode(node);
  if (result) {
    hotlist_.touch(node);
    if (!node->pendingKeywords.empty()) {
      keywords_->add(node->pendingKeywords.str(), node);
      node->pendingKeywords.clear();
    }
  }
  return result;
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
    node->activation *= qornfloat(kNodeDecayFactor).pow(d);
    node->decayedAt = step_;
  }
  return node->activation;
}

qornfloat PlexEngine::decayLink(Asc& link) {
  const int32_t d = step_ - link.lastvisited;
  const qornfloat floor(kMinLinkStrength);
  if (d < 0) step_ = link.lastvisited;
  if (d > 0) {
    qornfloat decayed = link.strength * qornfloat(kLinkDecayFactor).pow(d);
    if (decayed < floor) decayed = floor;
    AscHolder::setStrength(link, decayed);
    link.lastvisited = step_;
  } else if (link.strength < floor) {
    AscHolder::setStrength(link, floor);
  }
  return link.strength;
}

const std::vector<Node*>& PlexEngine::getHotlist() {
  return hotlist_.hotlist(*holder_, [this](Node* n) { return decayNode(n); });
}

namespace {

// qornfloat arithmetic with the plain float operations inlined for defined operands (the
// results are the same; undefined operands take qornfloat's own warning path).
inline bool defined(qornfloat a, qornfloat b) {
  return !a.isUndefined() && !b.isUndefined();
}
inline qornfloat plus(qornfloat a, qornfloat b) {
  return defined(a, b) ? qornfloat(a.value() + b.value()) : a + b;
}
inline qornfloat times(qornfloat a, qornfloat b) {
  return defined(a, b) ? qornfloat(a.value() * b.value()) : a * b;
}
inline qornfloat over(qornfloat a, qornfloat b) {
  return defined(a, b) && b.value() != 0.0f ? qornfloat(a.value() / b.value()) : a / b;
}
inline bool above(qornfloat a, qornfloat b) {
  return defined(a, b) ? a.value() > b.value() : a > b;
}

}  // namespace

// Breadth-first over a FIFO queue. Cost per item: one sum into the node accumulator (and
// one into the flow accumulator when flows are collected); an item above the threshold
// also walks its node's links twice (sum of strengths, then the daughters). Links are
// decayed when first met; an item arriving over a link decayed this very propagation skips
// the second decay, which would change nothing as long as the step has not moved.
bool PlexEngine::propagate(const std::vector<ExcitationItem>& items, Propagation& out) {
  queue_.clear();
  for (const ExcitationItem& item : items)
    queue_.push_back(QueuedItem{item.amount, item.source, item.target ? item.target->id : 0,
                                item.target, nullptr});
  const qornfloat threshold(kPropagationThreshold);
  const qornfloat factor(kPropagationFactor);
  const qornfloat floor(kMinLinkStrength);
  const int32_t startStep = step_;
  // A link already brought to this step and not below the floor needs no decay.
  auto decayed = [&](Asc& link) {
    if (link.lastvisited == step_ && !link.strength.isUndefined() &&
        !(link.strength.value() < floor.value()))
      return link.strength;
    return decayLink(link);
  };
  std::size_t head = 0;
  try {
    while (head < queue_.size()) {
      const QueuedItem item = queue_[head++];
      Node* node = item.target;
      if (!node) {
        QORN_LOG(Fatal, kSource, "PlexEngine::propagate daughter is NULL");
        continue;
      }
      if (!propagateToMeta_ && node->getType() != kSong) continue;
      out.nodes.add(node, item.amount);
      if (item.source > 0) {
        Asc* link = item.via ? item.via : links_->find(item.source, item.targetId);
        if (link) {
          if (!item.via || step_ != startStep) decayLink(*link);
          if (out.collectFlows) out.links.add(link, item.amount);
        }
      }
      if (!above(item.amount, threshold)) continue;
      const int32_t id = item.targetId;
      daughters_.clear();
      qornfloat total(0.0f);
      links_->forEachLinkWithId(id, [&](Asc* link, int32_t other) {
        if (item.source != 0 && other == item.source) return;
        if (!propagateToMeta_ && !link->songToSong()) return;
        total = plus(total, decayed(*link));
        daughters_.push_back(Daughter{link, other});
      });
      if (total <= qornfloat(0.0f)) total = qornfloat(1.0f);
      const qornfloat passed = times(item.amount, factor);
      for (const Daughter& d : daughters_)
        queue_.push_back(QueuedItem{times(passed, over(d.link->strength, total)), id, d.other,
                                    d.link->other(node), d.link});
    }
  } catch (...) {
    QORN_LOG(Fatal, kSource, "Exception occured in PlexEngine::propagate");
    queue_.clear();
    return false;
  }
  queue_.clear();
  return true;
}

int PlexEngine::excite(const std::vector<ExcitationItem>& items) {
  if (!frozenLinks_) ++step_;
  Propagation& collected = excited_;
  collected.clear();
  if (!propagate(items, collected)) return 0;
  for (const auto& [node, excitation] : collected.nodes) {
    const qornfloat before = decayNode(node);
    node->activation = normalizeNodeActivation(excitation, before);
    hotlist_.touch(node);
  }
  for (const auto& [link, flow] : collected.links) {
    const qornfloat s = decayLink(*link);
    AscHolder::setStrength(*link, strengthen(s, flow));
  }
  return 1;
}

qornfloat PlexEngine::normalizeNodeActivation(qornfloat excitation, qornfloat activation) {
  qornfloat saturation(0.0f);
  if (excitation < qornfloat(0.0f)) {
    QORN_LOG(Error, kSource, "received illegal excitation " + excitation.toText());
  } else {
    const float power =
        std::pow(kSaturationBase, (excitation / qornfloat(kSaturationScale)).value());
    saturation = qornfloat(1.0f) - qornfloat(power);
  }
  const qornfloat result = activation + (qornfloat(1.0f) - activation) * saturation;
  if (result.isUndefined() || std::isnan(result.value())) {
    QORN_LOG(Error, kSource,
             "PlexEngine::normalizeNodeActivation: have no result. (this should not be happening)");
    return qornfloat(0.0f);
  }
  const bool wasLegal = activation >= qornfloat(0.0f) && activation <= qornfloat(1.0f);
  if (wasLegal && excitation < qornfloat(5.0f) &&
      (result < qornfloat(0.0f) || result > qornfloat(1.0f)))
    QORN_LOG(Error, kSource, "Warning: illegal activation level: " + result.toText());
  if (result < qornfloat(0.0f)) return qornfloat(0.0f);
  if (result > qornfloat(1.0f)) return qornfloat(1.0f);
  return result;
}

qornfloat PlexEngine::strengthen(qornfloat strength, qornfloat flow) const {
  if (frozenLinks_) return strength;
  const qornfloat knee(kFlowSaturationKnee + 0.05f);
  const qornfloat gain = flow > knee ? qornfloat(1.0f) : flow / (flow + qornfloat(0.5f));
  qornfloat base = strength / qornfloat(kLinkDecayFactor);
  if (base < qornfloat(kMinLinkStrength)) base = qornfloat(kMinLinkStrength);
  qornfloat result = base + qornfloat(kLinkLearningRate) * gain;
  const qornfloat warn(kLinkWarningStep);
  if (result - strength > warn || strength - result > warn)
    engineConsole() << "Warning illegal link strength " << result.toText() << "\n";
  if (result > qornfloat(1.01f) || result < qornfloat(0.0f))
    QORN_LOG(Error, kSource, "Warning: illegal illedal link strength: " + result.toText());
  if (result > qornfloat(1.0f)) result = qornfloat(1.0f);
  return result;
}

void PlexEngine::freezeLinks(bool frozen) {
  frozenLinks_ = frozen;
  QORN_LOG(Info, kSource, "'!!! freezeLinks is set to true");
}

int PlexEngine::activateKeywords(const std::string& text, std::vector<Node*>& found) {
  std::vector<ExcitationItem> items;
  for (const auto& [node, score] : keywords_->search(text)) {
    items.push_back(
        ExcitationItem{qornfloat(kKeywordExcitationFactor) * qornfloat(score), 0, node});
    found.push_back(node);
  }
  excite(items);
  return 0;
}

int PlexEngine::setNodeField(int32_t id, const std::string& field, const std::string& value) {
  Node* node = holder_->find(id);
  if (!node) return 0;
  if (field == "keywords") {
    keywords_->remove(node);
    keywords_->add(value, node);
    return 1;
  }
  if (field == "add:keywords") {
    keywords_->add(value, node);
    return 1;
  }
  engineConsole() << "Warning unsupported node field: " << field << "\n";
  return 0;
}

namespace {

// Union of the neighbours of every node in `ring`, without `self`; falls back to `ring`
// itself, then to {self}.
NodeSet twoStep(const AscHolder& links, const NodeSet& ring, Node* self) {
  NodeSet out;
  for (Node* n : ring) links.neighbours(n->id, 0, true, out, false);
  out.erase(self);
  if (out.empty()) out = ring;
  if (out.empty()) out.insert(self);
  return out;
}

// The song with the fewest links (the first in id order on ties), or null.
Node* leastLinkedSong(const AscHolder& links, const NodeSet& set) {
  Node* best = nullptr;
  std::size_t fewest = 0;
  for (Node* n : set) {
    if (n->getType() != kSong) continue;
    const std::size_t degree = links.degree(n->id);
    if (!best || degree < fewest) {
      best = n;
      fewest = degree;
    }
  }
  return best;
}

}  // namespace

bool PlexEngine::removeLinkWithRepair(int32_t idA, int32_t idB, bool repair) {
  if (!links_->remove(idA, idB)) return false;
  if (!repair) return true;
  Node* a = holder_->find(idA);
  Node* b = holder_->find(idB);
  if (!a || !b || a->getType() != kSong || b->getType() != kSong) return true;
  NodeSet nearA, nearB;
  links_->neighbours(idA, 0, true, nearA, true);
  links_->neighbours(idB, 0, true, nearB, true);
  if (nearA.count(b) || nearB.count(a)) return true;
  const NodeSet farB = twoStep(*links_, nearB, b);
  const NodeSet farA = twoStep(*links_, nearA, a);
  if (farB.count(a) || farA.count(b)) return true;
  Node* pickB = leastLinkedSong(*links_, farB);
  Node* pickA = leastLinkedSong(*links_, farA);
  if (pickA && pickB)
    links_->create(pickA->id, pickB->id, qornfloat(kNewLinkStrength));
  else
    QORN_LOG(Error, kSource, "remove link failed");
  return true;
}

}  // namespace qorn
