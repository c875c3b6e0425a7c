// bench_inference MODE ...: link-inference quality and speed.
//   quality            mean Jaccard of the five most similar held-out songs, with references
//   quality-cv         the engine's figure alone (for tuning the models)
//   similarity [PAIRS] time per similarity, CV and pairwise paths, against libsvm's predict
//   full N             full inference over N synthetic songs
//   merge OLD NEW      merge of NEW synthetic songs into OLD
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>

#include "bench_inference.h"

namespace bench {
namespace {

using qorn::reference::jaccard;
using qorn::reference::Song;

// Mean over songs of the mean Jaccard of their five best-scored others (ties: file order).
template <typename Score>
double topFiveJaccard(const std::vector<Song>& songs, Score score) {
  double total = 0;
  std::vector<std::pair<double, std::size_t>> scored;
  for (std::size_t i = 0; i < songs.size(); ++i) {
    scored.clear();
    for (std::size_t j = 0; j < songs.size(); ++j)
      if (j != i) scored.emplace_back(score(i, j), j);
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    double sum = 0;
    for (std::size_t k = 0; k < 5; ++k) sum += jaccard(songs[i].labels, songs[scored[k].second].labels);
    total += sum / 5;
  }
  return total / static_cast<double>(songs.size());
}

}  // namespace

int runQuality(bool quick) {
  const auto all = collection();
  const std::vector<Song> held = qorn::reference::heldOutPart(all);
  const std::vector<Song> train = qorn::reference::trainingPart(all);

  // (a) random pairs: the expected Jaccard of a random other song.
  double randomSum = 0;
  for (std::size_t i = 0; i < held.size(); ++i)
    for (std::size_t j = 0; j < held.size(); ++j)
      if (i != j) randomSum += jaccard(held[i].labels, held[j].labels);
  const double random = randomSum / static_cast<double>(held.size() * (held.size() - 1));

  // (b) Euclidean distance on features z-scored with the training part's statistics.
  std::vector<double> mean(qorn::kFeatureCount, 0), sd(qorn::kFeatureCount, 0);
  for (const Song& s : train)
    for (int f = 0; f < qorn::kFeatureCount; ++f) mean[f] += s.features[f];
  for (double& m : mean) m /= static_cast<double>(train.size());
  for (const Song& s : train)
    for (int f = 0; f < qorn::kFeatureCount; ++f) sd[f] += std::pow(s.features[f] - mean[f], 2);
  for (double& v : sd) v = std::sqrt(v / static_cast<double>(train.size() - 1));
  const double euclid = topFiveJaccard(held, [&](std::size_t i, std::size_t j) {
    double d = 0;
    for (int f = 0; f < qorn::kFeatureCount; ++f)
      d += std::pow((held[i].features[f] - held[j].features[f]) / (sd[f] > 0 ? sd[f] : 1), 2);
    return -d;
  });

  // The engine's similarity: with the CVs of the held-out songs, and the pairwise model alone.
  Workspace w;
  std::vector<Node*> nodes;
  for (const Song& s : held) nodes.push_back(w.add(s.features));
  qorn::LinkInference& li = w.engine().linkInference();
  const double pairwiseOnly = quick ? 0.0 : topFiveJaccard(held, [&](std::size_t i, std::size_t j) {
    return w.engine().similarity(nodes[i], nodes[j]);
  });
  // The counters run on over both passes: count this pass only.
  const long cvBefore = li.cvComparisons(), svmBefore = li.svmComparisons();
  li.buildClassVectors(nodes);
  const double engine = topFiveJaccard(held, [&](std::size_t i, std::size_t j) {
    return w.engine().similarity(nodes[i], nodes[j]);
  });
  const long cv = li.cvComparisons() - cvBefore, svm = li.svmComparisons() - svmBefore;
  li.releaseClassVectors();
  if (quick) {
    std::printf("quality engine top5 jaccard: %.3f\n", engine);
    return 0;
  }

  // The links the full inference makes among the held-out songs.
  if (w.engine().inferLinksFull(nodes, 0.5f) != 1) {
    std::fprintf(stderr, "bench_inference: the full inference failed\n");
    return 1;
  }
  std::map<const Node*, uint32_t> labels;
  for (std::size_t i = 0; i < held.size(); ++i) labels[nodes[i]] = held[i].labels;
  double linkSum = 0;
  long links = 0;
  for (Node* n : nodes)
    for (Node* m : w.engine().links().neighbours(n->id, 0, false))
      if (n->id < m->id) {
        linkSum += jaccard(labels[n], labels[m]);
        ++links;
      }
  std::printf("quality held-out songs: %zu (training part %zu)\n", held.size(), train.size());
  std::printf("quality engine top5 jaccard: %.3f (target >= 0.50; CV comparisons %ld, pairwise %ld)\n",
              engine, cv, svm);
  std::printf("quality pairwise-only top5 jaccard: %.3f\n", pairwiseOnly);
  std::printf("quality reference random pairs: %.3f\n", random);
  std::printf("quality reference euclidean z-scored top5 jaccard: %.3f\n", euclid);
  std::printf("quality full-inference links: %ld, mean jaccard %.3f\n", links,
              links ? linkSum / static_cast<double>(links) : 0.0);
  return 0;
}

}  // namespace bench

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  auto number = [&](int i, int fallback) { return argc > i ? std::atoi(argv[i]) : fallback; };
  if (mode == "quality") return bench::runQuality(false);
  if (mode == "quality-cv") return bench::runQuality(true);
  if (mode == "similarity") return bench::runSimilarity(number(2, 20000));
  if (mode == "full" && argc > 2 && number(2, 0) > 0) return bench::runFull(number(2, 0));
  if (mode == "merge" && argc > 3) return bench::runMerge(number(2, 0), number(3, 0));
  std::fprintf(stderr,
               "usage: bench_inference quality | similarity [PAIRS] | full SONGS | merge OLD NEW\n");
  return 2;
}
