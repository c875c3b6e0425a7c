#include "Folds.h"

#include <utility>

#include "ModelTrainer.h"

namespace qorn::training {
namespace {

constexpr uint64_t kFoldSeed = 7001;

}  // namespace

std::vector<Split> makeSplits(const std::vector<reference::Song>& train, int folds, int repeats,
                              double spread) {
  std::vector<Split> splits;
  for (int r = 0; r < repeats; ++r) {
    std::vector<std::size_t> order(train.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    reference::Lcg rng(kFoldSeed + static_cast<uint64_t>(r));
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
      std::swap(order[i], order[i + rng.below(order.size() - i)]);
    std::vector<int> fold(train.size());
    for (std::size_t p = 0; p < order.size(); ++p)
      fold[order[p]] = static_cast<int>(p % static_cast<std::size_t>(folds));
    for (int k = 0; k < folds; ++k) {
      Split s;
      std::vector<reference::Song> inner;
      for (std::size_t i = 0; i < train.size(); ++i) {
        (fold[i] == k ? s.val : s.inner).push_back(i);
        if (fold[i] != k) inner.push_back(train[i]);
      }
      s.x = normalised(train, fitNormalisers(inner, spread));
      splits.push_back(std::move(s));
    }
  }
  return splits;
}

void innerPart(const Split& s, const std::vector<reference::Song>& train,
               std::vector<reference::Song>& songs, std::vector<FeatureVector>& x) {
  for (std::size_t i : s.inner) {
    songs.push_back(train[i]);
    x.push_back(s.x[i]);
  }
}

}  // namespace qorn::training
