// sonalyx_bench FILE...
//
// Per-song cost of each analysis step over the given songs (warm cache: every step runs once
// untimed first):
//   a  decode floor: the 60-90 s window demuxed and decoded by libavcodec alone, opened and
//      seeked as Tolvane does
//   a2 the same with resampling to 16-bit mono 22,050 Hz by libswresample
//   b  Tolvane's ConvertToWave (60 s, 30 s, 661,500 samples)
//   c  Pradix's ExtractAudioDS (60 s, 90 s, 15 s time-out, 661,500 samples)
//   d  bextractRaw on Tolvane's buffer
//   e  GetFeatures over all songs in one call (flags 0), divided by the number of songs
// Prints one "name mean median" line per step (milliseconds) and a "songs" count line, for
// scripts/bench-sonalyx.sh; the a2 line comes last.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "DecodeFloor.h"
#include "bextract/bextractRaw.h"
#include "pradix/Pradix.h"
#include "sonalyx/Sonalyx.h"
#include "tolvane/Tolvane.h"
#include "zarvell/module.h"
#include "zarvell/text.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
  double mean = 0, median = 0;
};

Stats stats(std::vector<double> v) {
  Stats s;
  if (v.empty()) return s;
  for (double x : v) s.mean += x;
  s.mean /= static_cast<double>(v.size());
  std::sort(v.begin(), v.end());
  s.median = v[v.size() / 2];
  return s;
}

void print(const char* name, const Stats& s) {
  std::printf("%s %.3f %.3f\n", name, s.mean, s.median);
  std::fflush(stdout);
}

}  // namespace

using sonalyx::bench::decodeResampleWindow;
using sonalyx::bench::decodeWindow;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sonalyx_bench FILE...\n");
    return 2;
  }
  std::vector<std::string> files(argv + 1, argv + argc);
  std::vector<std::u16string> paths;
  for (const auto& f : files) paths.push_back(zarvell::utf8ToUtf16(f));
  const int n = static_cast<int>(files.size());

  zarvell::Module tolvane = zarvell::Module::load(TOLVANE_MODULE_NAME);
  zarvell::Module pradix = zarvell::Module::load(PRADIX_MODULE_NAME);
  zarvell::Module sonalyx = zarvell::Module::load(SONALYX_MODULE_NAME);
  auto initEngine = tolvane.entry<TolvaneInitEngineFn>(TOLVANE_INIT_ENGINE);
  auto closeEngine = tolvane.entry<TolvaneCloseEngineFn>(TOLVANE_CLOSE_ENGINE);
  auto convert = tolvane.entry<TolvaneConvertToWaveFn>(TOLVANE_CONVERT_TO_WAVE);
  auto extract = pradix.entry<PradixExtractAudioDSFn>(PRADIX_EXTRACT_AUDIO_DS);
  auto init = sonalyx.entry<SonalyxInitFn>(SONALYX_INIT_NAME);
  auto getFeatures = sonalyx.entry<SonalyxGetFeaturesFn>(SONALYX_GETFEATURES_NAME);
  auto destroy = sonalyx.entry<SonalyxDestroyFn>(SONALYX_DESTROY_NAME);
  if (!initEngine || !convert || !extract || !init || !getFeatures || !destroy) {
    std::fprintf(stderr, "sonalyx_bench: a module or entry point is missing (%s %s %s)\n",
                 tolvane.error().c_str(), pradix.error().c_str(), sonalyx.error().c_str());
    return 1;
  }
  initEngine();
  constructMarSystems();

  constexpr int kCapacity = 661500;
  std::vector<std::int16_t> buffer(kCapacity);
  std::vector<double> a, a2, b, c, d;
  int failures = 0;
  for (int i = 0; i < n; ++i) {
    decodeWindow(files[i], 60, 30);  // warm-up of every step on this song
    decodeResampleWindow(files[i], 60, 30);
    int32_t count = 0, seconds = 0;
    convert(paths[i].c_str(), buffer.data(), kCapacity, 60, 30, &count, &seconds);
    extract(paths[i].c_str(), buffer.data(), kCapacity, 60, 90, 15000, &count, &seconds);

    auto t = Clock::now();
    if (decodeWindow(files[i], 60, 30) <= 0) ++failures;
    a.push_back(msSince(t));

    t = Clock::now();
    if (decodeResampleWindow(files[i], 60, 30) <= 0) ++failures;
    a2.push_back(msSince(t));

    t = Clock::now();
    extract(paths[i].c_str(), buffer.data(), kCapacity, 60, 90, 15000, &count, &seconds);
    c.push_back(msSince(t));

    t = Clock::now();
    if (convert(paths[i].c_str(), buffer.data(), kCapacity, 60, 30, &count, &seconds) < 0 ||
        count <= 0)
      ++failures;
    b.push_back(msSince(t));

    float features[72];
    int produced = 0;
    bextractRaw(buffer.data(), count, features, 72, &produced);  // warm-up
    t = Clock::now();
    bextractRaw(buffer.data(), count, features, 72, &produced);
    d.push_back(msSince(t));
    if (produced != 72) ++failures;
  }
  destroyMarSystems();
  if (closeEngine) closeEngine();

  // e: the whole pipeline, one call over every song, as the engine makes it.
  std::vector<FESyncItem> items(n);
  for (int i = 0; i < n; ++i) items[i].path = paths[i].c_str();
  std::vector<FeatureResult> results(n);
  void* handle = nullptr;
  init(&handle, nullptr, nullptr, nullptr, nullptr, nullptr);
  auto t = Clock::now();
  getFeatures(handle, items.data(), n, results.data(), 0);
  const double total = msSince(t);
  destroy(handle);
  int analysed = 0;
  for (const auto& r : results) analysed += r.hasFeatures;

  print("a_decode_floor", stats(a));
  print("b_tolvane", stats(b));
  print("c_pradix", stats(c));
  print("d_bextract", stats(d));
  std::printf("e_getfeatures %.3f %.3f\n", total / n, total / n);
  std::printf("songs %d analysed %d failures %d\n", n, analysed, failures);
  print("a2_decode_resample_floor", stats(a2));
  return failures == 0 && analysed == n ? 0 : 1;
}
