// EngineRandom: the random numbers of selection and the palette. The product draws from
// the C rand() generator, seeded with the current time when the engine is created; the
// console's `srand` seeds it again, and tests may inject their own source so that a pick
// among equally active songs can be checked exactly. Single-threaded like the engine.
#pragma once

#include <cstdlib>
#include <ctime>
#include <functional>
#include <utility>

namespace qorn {

class EngineRandom {
 public:
  // A draw in [0, RAND_MAX] from the injected source, or from rand().
  int next() const { return source_ ? source_() : std::rand(); }
  // Seeds rand() (the product's generator) and goes back to it.
  void seed(unsigned seed) {
    source_ = nullptr;
    std::srand(seed);
  }
  void seedWithTime() { seed(static_cast<unsigned>(std::time(nullptr))); }
  // From now on next() returns what `source` returns (values in [0, RAND_MAX]).
  void inject(std::function<int()> source) { source_ = std::move(source); }

 private:
  std::function<int()> source_;
};

}  // namespace qorn
