// Helpers shared by the decoder module tests: fixture paths, scratch folders and simple
// measurements on decoded S16 mono 22,050 Hz audio.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "zarvell/text.h"

namespace decodertest {

constexpr int kRate = 22050;
// Sonalyx's sample buffer: 30 s at the output rate.
constexpr int32_t kCapacity = 661500;
// Any value a decoder never writes to unused buffer space.
constexpr int16_t kGuard = 0x5A5A;

// One decoder call's outcome: its status, the samples it wrote (a buffer with a guard zone
// after the capacity) and the media seconds it reported.
struct Decoded {
  int32_t status = 1;
  int32_t count = -1;
  int32_t media = -1;
  std::vector<int16_t> samples;
};

inline std::string fixture(const std::string& name) {
  return std::string(ZARVELL_TEST_DATA_DIR) + "/audio/" + name;
}

// A path as the decoders receive it: the file system's bytes, whatever they are, in UTF-16.
inline std::u16string u16(const std::string& path) {
  return zarvell::pathToUtf16(path);
}

// Seconds from the start of `samples` to the first sample whose magnitude reaches
// `threshold` (the fixtures' bursts peak near 26,000), or nothing when none does.
inline std::optional<double> firstOnsetSeconds(const std::vector<int16_t>& samples, int32_t count,
                                               int threshold = 8000) {
  for (int32_t i = 0; i < count; ++i) {
    if (std::abs(int{samples[i]}) >= threshold) return static_cast<double>(i) / kRate;
  }
  return std::nullopt;
}

// Frequency of a steady tone from its rising zero crossings, assuming kRate.
inline double toneFrequency(const std::vector<int16_t>& samples, int32_t count) {
  int crossings = 0;
  int32_t firstCross = -1, lastCross = -1;
  for (int32_t i = 1; i < count; ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (firstCross < 0) firstCross = i;
      lastCross = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0.0;
  return (crossings - 1) * static_cast<double>(kRate) / (lastCross - firstCross);
}

inline int peak(const std::vector<int16_t>& samples, int32_t from, int32_t to) {
  int p = 0;
  for (int32_t i = from; i < to; ++i) p = std::max(p, std::abs(int{samples[i]}));
  return p;
}

// A scratch folder, removed with everything in it.
class ScratchDir : public zarvelltest::ScratchDir {
 public:
  ScratchDir() : zarvelltest::ScratchDir("zarvell-dec") {}
  // Copies fixture `name` into the folder as `as` and returns the new path.
  std::string copy(const std::string& name, const std::string& as) const {
    const std::string to = file(as);
    std::filesystem::copy_file(fixture(name), to,
                               std::filesystem::copy_options::overwrite_existing);
    return to;
  }
};

}  // namespace decodertest
