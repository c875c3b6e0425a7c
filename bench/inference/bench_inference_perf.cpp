// Speed of the similarity and of the two link-building runs on synthetic songs.
//
// Synthetic songs are drawn from the reference distribution: each is a training song of the
// reference collection with every feature moved by Gaussian noise of a tenth of that
// feature's spread, so mood profiles and feature correlations stay realistic.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "bench_inference.h"

namespace bench {
namespace {

class Synthesiser {
 public:
  Synthesiser() : train_(qorn::reference::trainingPart(collection())), rng_(4242) {
    for (int f = 0; f < qorn::kFeatureCount; ++f) {
      double m = 0, v = 0;
      for (const auto& s : train_) m += s.features[f];
      m /= static_cast<double>(train_.size());
      for (const auto& s : train_) v += std::pow(s.features[f] - m, 2);
      spread_[f] = std::sqrt(v / static_cast<double>(train_.size() - 1));
    }
  }
  qorn::FeatureVector next() {
    qorn::FeatureVector v = train_[rng_.below(train_.size())].features;
    for (int f = 0; f < qorn::kFeatureCount; ++f) {
      // Box-Muller.
      const double g = std::sqrt(-2 * std::log(rng_.uniform())) * std::cos(6.283185307179586 * rng_.uniform());
      const double moved = v[f] + 0.1 * spread_[f] * g;
      // Keep the sign of all-positive features (the lognormal ones stay positive).
      v[f] = static_cast<float>(v[f] > 0 && moved <= 0 ? v[f] * 0.5 : moved);
    }
    return v;
  }

 private:
  std::vector<qorn::reference::Song> train_;
  qorn::reference::Lcg rng_;
  double spread_[qorn::kFeatureCount] = {};
};

std::vector<Node*> addSongs(Workspace& w, Synthesiser& synth, int count) {
  std::vector<Node*> out;
  out.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out.push_back(w.add(synth.next()));
  return out;
}

double loadAverage() {
  double one = 0;
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &one) != 1) one = 0;
    std::fclose(f);
  }
  return one;
}

}  // namespace

int runSimilarity(int pairs) {
  Workspace w;
  Synthesiser synth;
  std::vector<Node*> songs = addSongs(w, synth, 2000);
  qorn::qornManager& e = w.engine();
  qorn::LinkInference& li = e.linkInference();
  if (!li.loadPairwiseModel()) return 1;
  qorn::reference::Lcg rng(9);
  std::vector<std::pair<Node*, Node*>> chosen;
  for (int i = 0; i < pairs; ++i) chosen.emplace_back(songs[rng.below(songs.size())], songs[rng.below(songs.size())]);
  for (Node* s : songs) e.featureStore().features(s->md5, true);  // normalised once, as in a run

  // Reference: libsvm's own probability prediction on the same pair vectors.
  qorn::SvmModel model = qorn::SvmModel::load(programFolder() + "/networks/model");
  qorn::PairVector pair{};
  double sink = 0, estimates[2];
  double t0 = seconds();
  for (const auto& [a, b] : chosen) {
    const auto fa = e.featureStore().features(a->md5, true), fb = e.featureStore().features(b->md5, true);
    qorn::buildPairVector(fa->data(), fb->data(), pair);
    model.predictProbability(pair.data(), estimates);
    sink += estimates[0];
  }
  const double libsvm = (seconds() - t0) / pairs;

  t0 = seconds();
  for (const auto& [a, b] : chosen) sink += e.similarity(a, b);
  const double svmPath = (seconds() - t0) / pairs;

  li.buildClassVectors(songs);
  const long cvBefore = li.cvComparisons(), svmBefore = li.svmComparisons();
  t0 = seconds();
  for (const auto& [a, b] : chosen) sink += e.similarity(a, b);
  const double mixed = (seconds() - t0) / pairs;
  const long cvCount = li.cvComparisons() - cvBefore, svmCount = li.svmComparisons() - svmBefore;

  std::printf("similarity pairwise path: %.2f us/pair (libsvm svm_predict_probability on the same vectors: %.2f us)\n",
              svmPath * 1e6, libsvm * 1e6);
  std::printf("similarity with CVs: %.2f us/pair (%ld CV, %ld pairwise of %d; %zu CVs of 2000 songs)\n",
              mixed * 1e6, cvCount, svmCount, pairs, li.classVectors().size());
  std::printf("similarity load average: %.2f (checksum %.3f)\n", loadAverage(), sink);
  return 0;
}

int runFull(int count) {
  Workspace w;
  Synthesiser synth;
  std::vector<Node*> songs = addSongs(w, synth, count);
  qorn::qornManager& e = w.engine();
  qorn::LinkInference& li = e.linkInference();
  for (Node* s : songs) e.featureStore().features(s->md5, true);
  double t0 = seconds();
  li.buildClassVectors(songs);
  const double cvTime = seconds() - t0;
  li.releaseClassVectors();
  t0 = seconds();
  const double c0 = cpuSeconds();
  if (e.inferLinksFull(songs, 0.5f) != 1) return 1;
  const double total = seconds() - t0;
  const double cpu = cpuSeconds() - c0;
  const qorn::FullInferenceStats& st = li.lastFullRun();
  std::printf("full %d songs: %.3f s, %.3f ms per visited song (processor time %.3f ms per song; "
              "CV building %.3f s of the run)\n",
              count, total, total * 1e3 / st.visits, cpu * 1e3 / st.visits, cvTime);
  std::printf("full %d songs: empty candidate list %ld of %ld visits (%.2f%%), %.1f comparisons per visit, "
              "%ld CV and %ld pairwise comparisons, %ld links; load average %.2f\n",
              count, st.fullScans, st.visits, 100.0 * st.fullScans / st.visits,
              static_cast<double>(st.comparisons) / st.visits, li.cvComparisons(), li.svmComparisons(),
              st.linksMade, loadAverage());
  return 0;
}

int runMerge(int oldCount, int newCount) {
  Workspace w;
  Synthesiser synth;
  std::vector<Node*> old = addSongs(w, synth, oldCount);
  std::vector<Node*> fresh = addSongs(w, synth, newCount);
  qorn::qornManager& e = w.engine();
  for (Node* s : old) e.featureStore().features(s->md5, true);
  const double t0 = seconds();
  const double c0 = cpuSeconds();
  if (e.inferLinksMerge(old, fresh, true) != 1) return 1;
  const double total = seconds() - t0;
  const double cpu = cpuSeconds() - c0;
  std::printf("merge %d into %d: %.3f s, %.3f ms per new song (processor time %.3f s); load average %.2f\n",
              newCount, oldCount, total, total * 1e3 / newCount, cpu, loadAverage());
  return 0;
}

}  // namespace bench
