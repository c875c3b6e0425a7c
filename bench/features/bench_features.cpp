// Feature store benchmarks over a store of 100,000 records (33 MB):
// - reading it with values, against reading the same file's bytes with one read() into
//   memory (the floor any reader has to pay; target: at most 3x);
// - reading only its md5 index;
// - the normalised lookup of all 100,000 songs, first (normalising and filling the cache)
//   and again (from the cache);
// - the read with values and its reference once more, after the lookups have left the
//   allocator holding and freeing some 30 MB of small blocks (the ratio must not depend
//   on what ran before).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;

namespace {

constexpr int kSongs = 100000;

std::string md5Of(int n) {
  char text[33];
  std::snprintf(text, sizeof text, "%08x%08x%08x%08x", n * 2654435761u, n ^ 0x5bd1e995u,
                n * 40503u + 7u, static_cast<unsigned>(n));
  return text;
}

// The store, written once per process into a scratch folder and removed at exit.
struct Fixture {
  std::string folder;
  std::string path;
  std::vector<std::string> md5s;

  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarvell-bench-XXXXXX");
    folder = mkdtemp(pattern.data());
    path = folder + "/features.mbff";
    std::string bytes("MBFFmbinf1.000");
    bytes.reserve(FeatureManager::kHeaderSize + kSongs * FeatureManager::kRecordSize);
    std::vector<float> values(kFeatureCount);
    for (int n = 0; n < kSongs; ++n) {
      md5s.push_back(md5Of(n));
      for (int i = 0; i < kFeatureCount; ++i) values[i] = 0.01f * ((n * 31 + i * 17) % 997) + 0.1f;
      bytes += md5s.back();
      FeatureSet(values).writeBinaryBody(bytes);
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    for (int i = 0; i < kFeatureCount; ++i) {
      std::array<float, Normaliser::kStatCount> stats{};
      for (int s = 0; s < Normaliser::kStatCount; ++s) stats[s] = 0.5f + 1.25f * s;
      normaliserTable().add(
          Normaliser(getFeatureName(i), static_cast<NormaliserType>(i % 3), stats));
    }
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void readBytesOnce(benchmark::State& state) {
  const std::string& path = fixture().path;
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st;
    ::fstat(fd, &st);
    std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(st.st_size)]);
    ssize_t got = ::read(fd, buffer.get(), static_cast<std::size_t>(st.st_size));
    ::close(fd);
    benchmark::DoNotOptimize(buffer.get());
    if (got != st.st_size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}
void BM_ReadBytesOnce(benchmark::State& state) {
  readBytesOnce(state);
}
BENCHMARK(BM_ReadBytesOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

void readStoreWithValues(benchmark::State& state) {
  const std::string& path = fixture().path;
  for (auto _ : state) {
    auto manager = std::make_unique<FeatureManager>(path);
    if (manager->readFromFile(path, true) != FeatureManager::kOk) state.SkipWithError("not read");
    state.PauseTiming();  // checking and tearing the manager down is not part of reading
    if (manager->featureSetCount() != static_cast<std::size_t>(kSongs)) {
      state.SkipWithError("store not read whole");
    }
    manager.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}
void BM_ReadStoreWithValues(benchmark::State& state) {
  readStoreWithValues(state);
}
BENCHMARK(BM_ReadStoreWithValues)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadStoreIndexOnly(benchmark::State& state) {
  const std::string& path = fixture().path;
  for (auto _ : state) {
    FeatureManager manager(path);
    if (manager.readFromFile(path, false) != FeatureManager::kOk) state.SkipWithError("not read");
    benchmark::DoNotOptimize(manager.recordCount());
  }
  state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}
BENCHMARK(BM_ReadStoreIndexOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NormalisedLookupAllFirst(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    state.PauseTiming();
    auto manager = std::make_unique<FeatureManager>(f.path);
    manager->ensureRead();
    state.ResumeTiming();
    std::size_t found = 0;
    for (const std::string& md5 : f.md5s) found += manager->features(md5, true).has_value();
    if (found != f.md5s.size()) state.SkipWithError("missing normalised features");
    state.PauseTiming();
    manager.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSongs);
}
BENCHMARK(BM_NormalisedLookupAllFirst)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NormalisedLookupAllCached(benchmark::State& state) {
  const Fixture& f = fixture();
  FeatureManager manager(f.path);
  for (const std::string& md5 : f.md5s) manager.features(md5, true);
  for (auto _ : state) {
    float sum = 0.0f;
    for (const std::string& md5 : f.md5s) sum += (*manager.features(md5, true))[0];
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kSongs);
}
BENCHMARK(BM_NormalisedLookupAllCached)->Unit(benchmark::kMillisecond)->UseRealTime();

// Registered last, so they run after everything above.
void BM_ReadBytesOnceAfterLookups(benchmark::State& state) {
  readBytesOnce(state);
}
BENCHMARK(BM_ReadBytesOnceAfterLookups)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadStoreWithValuesAfterLookups(benchmark::State& state) {
  readStoreWithValues(state);
}
BENCHMARK(BM_ReadStoreWithValuesAfterLookups)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
