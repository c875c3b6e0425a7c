// Fuzzes the binary feature store reader: any file must be read without a crash; reading
// with and without values gives the same index and, by random access, the same values; an
// append after it lands on a record boundary and reads back. A store past the record bound
// is refused without being read, and no value that is not finite comes out of it.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;

namespace {

void writeBytes(const std::string& path, const uint8_t* data, size_t size, bool header) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (header) std::fwrite("MBFFmbinf1.000", 1, 14, f);
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// Extends the file with zeros (a sparse hole) to `records` whole records and `tail` bytes.
void extendTo(const std::string& path, std::uint64_t records, std::uint64_t tail) {
  const std::uint64_t size =
      FeatureManager::kHeaderSize + records * FeatureManager::kRecordSize + tail;
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr) return;
  std::fseek(f, 0, SEEK_END);
  if (static_cast<std::uint64_t>(std::ftell(f)) < size) {
    FUZZ_CHECK(ftruncate(fileno(f), static_cast<off_t>(size)) == 0);
  }
  std::fclose(f);
}

long fileSize(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return -1;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

bool sameBits(const std::optional<FeatureVector>& a, const std::optional<FeatureVector>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || std::memcmp(a->data(), b->data(), sizeof(FeatureVector)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A complete table, so normalising is exercised too.
  for (int i = 0; i < kFeatureCount; ++i) {
    std::array<float, Normaliser::kStatCount> stats{};
    for (int s = 0; s < Normaliser::kStatCount; ++s) stats[s] = 0.1f * (s + 1);
    normaliserTable().add(Normaliser(getFeatureName(i), static_cast<NormaliserType>(i % 3), stats));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path = featurefuzz::scratchFolder() + "/store.mbff";
  // The first byte chooses whether a good header comes first, so the fuzzer spends its
  // time on records as well as on headers.
  const bool header = (data[0] & 1) != 0;
  writeBytes(path, data + 1, size - 1, header);
  // Bit 1: the file grows (sparse) to the record count of bytes 1-3, so that large stores
  // and stores past the bound are reached without large inputs: up to 65,535 records, or
  // from 0xff0000 on, just past the bound (refused before anything is read).
  std::uint64_t extended = 0;
  if ((data[0] & 2) != 0 && size >= 4) {
    const std::uint32_t n =
        (std::uint32_t{data[1]} << 16) | (std::uint32_t{data[2]} << 8) | data[3];
    extended = n >= 0xff0000u ? FeatureManager::kMaxRecords + 1 + (n & 0xff) : n & 0xffff;
    extendTo(path, extended, (data[0] >> 2) % FeatureManager::kRecordSize);
  }

  FeatureManager with(path), without(path);
  const int a = with.readFromFile(path, true);
  const int b = without.readFromFile(path, false);
  FUZZ_CHECK(a == b);
  FUZZ_CHECK(with.recordCount() == without.recordCount());
  if (extended > FeatureManager::kMaxRecords) {
    FUZZ_CHECK(a == FeatureManager::kHeaderError && with.recordCount() == 0);
  }
  for (std::size_t i = 0; i < with.recordCount(); ++i) {
    const std::string md5 = with.md5At(i);
    FUZZ_CHECK(md5 == without.md5At(i));
    FUZZ_CHECK(with.indexOf(md5) == without.indexOf(md5));
    if (i < 64) {
      const auto raw = with.features(md5, false);
      FUZZ_CHECK(sameBits(raw, without.features(md5, false)));
      if (raw) {
        for (float v : *raw) FUZZ_CHECK(std::isfinite(v));
      }
      FUZZ_CHECK(sameBits(with.features(md5, true), without.features(md5, true)));
      const auto normalised = with.features(md5, true);
      if (normalised) {
        for (float v : *normalised) FUZZ_CHECK(std::isnan(v) || (v >= -1.0f && v <= 1.0f));
      }
    }
  }
  (void)with.xmlText();

  if (a != FeatureManager::kOk) return 0;
  const std::size_t records = with.recordCount();
  std::vector<float> values(kFeatureCount, 0.5f);
  FUZZ_CHECK(with.append("0123456789abcdef0123456789abcdef", FeatureSet(values)) ==
             FeatureManager::kOk);
  FUZZ_CHECK(fileSize(path) == static_cast<long>(14 + 330 * (records + 1)));
  FeatureManager after(path);
  FUZZ_CHECK(after.readFromFile(path, true) == FeatureManager::kOk);
  FUZZ_CHECK(after.recordCount() == records + 1);
  FUZZ_CHECK(after.features("0123456789abcdef0123456789abcdef", false).has_value());
  return 0;
}
