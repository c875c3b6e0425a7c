// Cross-validation folds inside the reference collection's training part, shared by the
// settings search and the cross-fitted score: REPEATS fixed shuffles, each cut into FOLDS
// folds; every split holds one fold out for validation and fits the normalisers on the rest.
// Deterministic. Nothing here throws except std::bad_alloc.
#pragma once

#include <cstddef>
#include <vector>

#include "ReferenceSet.h"

namespace qorn::training {

struct Split {
  std::vector<std::size_t> inner, val;  // training-part positions, ascending
  std::vector<FeatureVector> x;         // every training song, normalised by the inner fit
};

// The splits of repeat r are those of positions [r * folds, (r + 1) * folds): each training
// song is a validation song of exactly one split per repeat.
std::vector<Split> makeSplits(const std::vector<reference::Song>& train, int folds, int repeats,
                              double spread);

// The songs of a split's training folds, appended to `songs` with their normalised features
// to `x`.
void innerPart(const Split& s, const std::vector<reference::Song>& train,
               std::vector<reference::Song>& songs, std::vector<FeatureVector>& x);

}  // namespace qorn::training
