// Learning: song-end learning over the history, transition verdicts, penalty counters.
//
// An exponent e scales link strengths: s becomes s x 0.99^e on a direct link and
// s x 0.95^e on the links of a path; negative e strengthens, positive e weakens.
#include "qornManager.h"
#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManager";
constexpr int32_t kPenaltyWeakening = 2;
constexpr int32_t kReliefStrengthening = 1;

}  // namespace

void qornManager::learnOnSongEnd(Node* song, bool learn) {
  const std::vector<Node*>& entries = history_.entries();
  if (learn && !entries.empty()) {
    Node* prev = entries.back();
    if (prev && prev->asSong()) {
      const qorndate gap = song->lastplayed - prev->lastplayed;
      if (gap.seconds() < 0) QORN_LOG(Error, kSource, "negative difftime");
      if (gap.seconds() < kLearningWindow)
        doLearning(song, prev, kSongEndExponent, false);
      else
        QORN_LOG(Debug, kSource, "no learning, songs are too far apart");
    }
  }
  history_.append(song, true);
  song->lastplayed = qorndate(clock_.now());
}

int qornManager::learnTransition(const Node* from, const Node* to, bool good) {
  if (!from) {
    QORN_LOG(Error, kSource, "a is null in call to learnTransition");
    return -1;
  }
  if (!to) {
    if (history_.entries().empty()) {
      QORN_LOG(Error, kSource, "history is empty in call to learnTransition");
      return -1;
    }
    to = history_.entries().back();
  }
  if (!from->asSong() || !to->asSong()) return -2;
  const int exponent = good ? -kTransitionExponent : kTransitionExponent;
  QORN_LOG(Info, kSource, "transition learning " + from->name.str() + " to " + to->name.str());
  doLearning(findNode(from->id), findNode(to->id), exponent, true);
  return 1;
}

bool qornManager::updatePenalty(Asc* link, bool positive) {
  if (!links().hasPenalty(link)) {
    if (!positive && link->songToSong()) links().setPenalty(link, 1);
    return false;
  }
  int32_t counter = links().penalty(link);
  counter += positive ? -kReliefStrengthening : kPenaltyWeakening;
  if (counter <= 0) {
    links().dropPenalty(link);
    return false;
  }
  links().setPenalty(link, counter);
  return counter > kPenaltyRemoval && link->songToSong();
}

int qornManager::doLearning(Node* a, Node* b, int exponent, bool strong) {
  if (!a || !b || a == b) return 0;
  if (findNode(a->id) != a || findNode(b->id) != b || !b->asSong()) return 0;
  const bool positive = exponent <= 0;

  if (Asc* link = links().find(a->id, b->id)) {
    const qornfloat s = decayLink(*link);
    qornfloat scaled = s * qornfloat(kLinkDecayFactor).pow(exponent);
    if (scaled < qornfloat(kMinLinkStrength)) scaled = qornfloat(kMinLinkStrength);
    if (!links().hasPenalty(link) && positive) {
      AscHolder::setStrength(*link, scaled);
      return 0;
    }
    const bool doomed = updatePenalty(link, positive);
    if ((!positive && strong) || doomed)
      removeLinkWithRepair(b->id, a->id, true);  // its penalty counter goes with it
    else
      AscHolder::setStrength(*link, scaled);
    return 0;
  }

  float cost = 0.0f;
  const std::vector<int32_t> path = links().findPath(kPathLinks, a->id, b->id, cost,
                                                     [this](Asc& l) { return decayLink(l); });
  if (strong) return doLearningStrong(path, exponent);
  if (path.size() >= 2) {
    Asc* worst = nullptr;
    int32_t worstCounter = 0;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
      Asc* link = links().find(path[i], path[i + 1]);
      if (!link) {
        QORN_LOG(Error, kSource, "Non existing asc in path while doLearning");
        continue;
      }
      const qornfloat s = decayLink(*link);
      AscHolder::setStrength(*link, s * qornfloat(kNodeDecayFactor).pow(exponent));
      updatePenalty(link, positive);
      const int32_t counter = links().penalty(link);
      if (counter > kPenaltyRemoval && counter > worstCounter) {
        worst = link;
        worstCounter = counter;
      }
    }
    if (worst && worst->songToSong()) {
      const int32_t x = worst->from->id;
      const int32_t y = worst->to->id;
      links().dropPenalty(worst);
      removeLinkWithRepair(x, y, true);
    }
    return 1;
  }
  if (exponent < 0) links().create(b->id, a->id, qornfloat(kNewLinkStrength));
  return 1;
}

int qornManager::doLearningStrong(const std::vector<int32_t>& path, int exponent) {
  Asc* weakest = nullptr;
  qornfloat weakestStrength(100.0f);
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    Asc* link = links().find(path[i], path[i + 1]);
    if (!link || !link->songToSong()) continue;
    const qornfloat s = decayLink(*link);
    if (s < weakestStrength) {
      weakest = link;
      weakestStrength = s;
    }
  }
  if (!weakest) {
    QORN_LOG(Error, kSource, "no weakest link in doLearningStrong");
    return -1;
  }
  const int32_t x = weakest->from->id;
  const int32_t y = weakest->to->id;
  links().dropPenalty(weakest);
  removeLinkWithRepair(x, y, true);
  if (exponent < 0) links().create(path.front(), path.back(), qornfloat(kNewLinkStrength));
  return 1;
}

}  // namespace qorn
