// The two link-building runs over the similarity of LinkInference.cpp: the full inference
// (FullInference.h does the visiting) and the merge of new songs into key tracks.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "LinkInference.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "qornManager.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManagerSVM";
constexpr const char* kBuilding = "Building Network";
constexpr std::size_t kKeyTracks = 20;
constexpr std::size_t kMergeLinks = 5;
constexpr std::size_t kInsertBelow = 50;  // fewer new nodes: every new song is linked

bool isSong(const Node* n) { return n != nullptr && n->getType() == kSong; }

}  // namespace

bool LinkInference::compareWithPool(Node* y, const std::vector<Node*>& pool,
                                    std::vector<ScoredSong>& out) {
  if (!normaliserTable().complete()) {
    const std::string line = "Error: Normaliser info is missing in " + normaliserFilePath();
    engineConsole() << line << std::endl;
    QORN_LOG(Error, kSource, line);
    return false;
  }
  Side& sy = side(y);
  for (Node* other : pool) {
    Side& so = side(other);
    const bool usable = (so.cv != nullptr && !so.cv->empty()) || so.hasFeatures;
    if (!usable) {
      engineConsole() << "no features available for song " << other->name.str() << std::endl;
      continue;
    }
    out.emplace_back(compare(y, sy, other, so), other);
  }
  return true;
}

int LinkInference::inferFull(const std::vector<Node*>& songs, float linkParam) {
  cvComparisons_ = 0;
  svmComparisons_ = 0;
  lastFull_ = {};
  triedPairwise_ = false;
  if (!loadPairwiseModel()) return 0;
  const int total = static_cast<int>(songs.size());
  if (!reportProgress(kBuilding, 0, total, "Initializing...", "Please wait...")) {
    QORN_LOG(Info, kSource, "ABORTED inferLinksSVM");
    return 0;
  }
  buildClassVectors(songs);

  AscHolder& links = engine_.links();
  FullInferenceHooks hooks;
  hooks.compare = [this](Node* y, const std::vector<Node*>& pool, std::vector<ScoredSong>& out) {
    return compareWithPool(y, pool, out);
  };
  hooks.link = [&links](Node* y, Node* other, float strength) {
    if (links.find(y->id, other->id) != nullptr) return false;
    return links.create(y->id, other->id, qornfloat(strength)) != nullptr;
  };
  hooks.progress = [this, total](int visited, Node* y) {
    return reportProgress(kBuilding, visited, total, y->name.str());
  };
  hooks.random = [this] { return engine_.random().next(); };

  const int result = runFullInference(songs, linkParam, hooks, &lastFull_);
  releaseClassVectors();
  if (result == 0) {
    QORN_LOG(Info, kSource, "ABORTED inferLinksSVM");
    return 0;
  }
  QORN_LOG(Debug, kSource, "created " + std::to_string(lastFull_.linksMade) + " song-song links");
  QORN_LOG(Debug, kSource,
           "#CV Comps:  " + std::to_string(cvComparisons_) + " #SVMComp: " +
               std::to_string(svmComparisons_));
  return 1;
}

}  // namespace qorn

namespace qorn {
namespace {

// The first `count` places of `songs` become a random choice of its songs (each place takes
// a song drawn from itself and the places after it).
void chooseFirst(std::vector<Node*>& songs, std::size_t count, EngineRandom& random) {
  for (std::size_t i = 0; i < count && i < songs.size(); ++i) {
    const std::size_t pick = i + static_cast<std::size_t>(random.next()) % (songs.size() - i);
    std::swap(songs[i], songs[pick]);
  }
}

// One held-back link of a merge.
struct PendingLink {
  Node* song;
  Node* key;
  float strength;
};

}  // namespace

std::vector<Node*> LinkInference::keyTracks(const std::vector<Node*>& oldSongs) {
  std::vector<Node*> keys;
  auto known = [&keys](const Node* n) { return std::find(keys.begin(), keys.end(), n) != keys.end(); };
  const std::vector<Node*> kalvorets = engine_.myKalvorets();
  for (const std::vector<Node*>* list : {&engine_.palette(), &kalvorets})
    for (Node* n : *list)
      if (isSong(n) && !known(n)) keys.push_back(n);
  QORN_LOG(Info, kSource, "link Songs " + std::to_string(keys.size()) + " keytracks available");
  if (keys.size() >= kKeyTracks) return keys;
  std::vector<Node*> pool = oldSongs;
  const std::size_t places = kKeyTracks - keys.size();
  const std::size_t draws = std::min(2 * places, pool.size());
  for (std::size_t next = 0; next < draws && keys.size() < kKeyTracks; ++next) {
    const std::size_t pick = next + static_cast<std::size_t>(engine_.random().next()) % (pool.size() - next);
    std::swap(pool[next], pool[pick]);
    if (isSong(pool[next]) && !known(pool[next])) keys.push_back(pool[next]);
  }
  return keys;
}

void LinkInference::removeNewNodes(std::vector<Node*>& newNodes) {
  for (Node* n : newNodes)
    if (n != nullptr) engine_.removeNodeFromNet(n);
  newNodes.clear();
}

int LinkInference::inferMerge(const std::vector<Node*>& oldSongs, std::vector<Node*>& newNodes,
                              bool insert) {
  cvComparisons_ = 0;
  svmComparisons_ = 0;
  triedPairwise_ = false;
  if (!loadPairwiseModel()) return 0;
  if (newNodes.size() < kInsertBelow) insert = true;
  const char* caption = insert ? "Inserting Tracks" : "Merging Network";

  std::vector<Node*> songs;
  for (Node* n : newNodes)
    if (isSong(n)) songs.push_back(n);
  if (!insert) {
    const std::size_t sixth = songs.size() / 6;
    chooseFirst(songs, sixth, engine_.random());
    songs.resize(sixth);
  }
  const int total = static_cast<int>(songs.size());
  // Either refusal cancels: the user asked for it, whichever report saw it.
  const bool first = reportProgress(caption, 0, total, "initializing");
  const bool second = reportProgress(caption, 0, total, "initializing");
  if (!first || !second) {
    QORN_LOG(Info, kSource, "Aborting network merging");
    removeNewNodes(newNodes);
    return 0;
  }

  const std::vector<Node*> keys = keyTracks(oldSongs);
  // Only key tracks are compared with the new songs, and a CV depends on its song alone:
  // building the other old songs' CVs would change no similarity.
  buildClassVectors(keys);
  std::vector<PendingLink> pending;
  std::vector<ScoredSong> scored;
  int result = 1;
  for (std::size_t j = 0; j < songs.size(); ++j) {
    Node* song = songs[j];
    Side& ss = side(song);
    scored.clear();
    for (Node* key : keys) {
      if (key == song) continue;
      Side& sk = side(key);
      scored.emplace_back(compare(song, ss, key, sk), key);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const ScoredSong& a, const ScoredSong& b) { return a.first > b.first; });
    QORN_LOG(Debug, kSource, "infered link: " + song->name.str());
    for (std::size_t i = 0; i < scored.size() && i < kMergeLinks; ++i) {
      if (scored[i].first <= 0.0f)
        QORN_LOG(Debug, kSource,
                 "   zero similarity (no features?) " + std::to_string(scored[i].first) + " " +
                     song->name.str());
      pending.push_back({song, scored[i].second, scored[i].first});
    }
    if (!reportProgress(caption, static_cast<int>(j + 1), total, song->name.str())) {
      QORN_LOG(Info, kSource, "Aborting network merge");
      result = 0;
      break;
    }
  }
  releaseClassVectors();
  if (result == 0) {
    // The network goes back to what it was: the held-back links are dropped with the new
    // nodes they would have joined.
    pending.clear();
    removeNewNodes(newNodes);
    return 0;
  }
  AscHolder& links = engine_.links();
  for (const PendingLink& p : pending)
    links.add(Asc(p.song, p.key, qornfloat(p.strength), engine_.step()), 0);
  return 1;
}

}  // namespace qorn
