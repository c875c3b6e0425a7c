// The binary feature store against hostile and unlucky files: a FIFO or a folder in the
// store's place, a huge sparse store, a store beyond any real library, and records holding
// values that are not finite numbers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "feature_test_support.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;
using namespace featuretest;

namespace {

class HostileStore : public testing::Test {
 protected:
  void SetUp() override { normaliserTable() = normalTable(); }
  void TearDown() override { normaliserTable().clear(); }

  TempDir dir_;
  std::string path_ = dir_.file("features.mbff");
  LogCapture log_;
};

// A sparse file of `size` bytes whose first bytes are `start` and whose last bytes are
// `end`; the hole between reads as zeros and takes no disk space.
void makeSparse(const std::string& path, std::uint64_t size, const std::string& start,
                const std::string& end) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, start.data(), start.size()), static_cast<ssize_t>(start.size()));
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
  if (!end.empty()) {
    ASSERT_EQ(::pwrite(fd, end.data(), end.size(), static_cast<off_t>(size - end.size())),
              static_cast<ssize_t>(end.size()));
  }
  ::close(fd);
}

// The process's peak resident memory in kB since the last resetPeakMemory().
long peakMemoryKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

bool resetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

// Stops the test process instead of letting a blocking open hang the suite.
class Watchdog {
 public:
  explicit Watchdog(unsigned seconds) { ::alarm(seconds); }
  ~Watchdog() { ::alarm(0); }
};

}  // namespace

// A FIFO would block every open for reading until a writer came; a folder used to make
// the reader allocate its "size". Both are refused at once with 10, in every call that
// opens the store, and stay as they were.
TEST_F(HostileStore, FifoOrFolderAsTheStoreIsRefusedWithoutBlocking) {
  Watchdog watchdog(30);
  struct Case {
    const char* name;
    void (*make)(const std::string&);
    bool (*unchanged)(const std::string&);
  };
  const Case cases[] = {
      {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       [](const std::string& p) { return std::filesystem::is_fifo(p); }},
      {"folder", [](const std::string& p) { ASSERT_TRUE(std::filesystem::create_directory(p)); },
       [](const std::string& p) {
         return std::filesystem::is_directory(p) && std::filesystem::is_empty(p);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.file(std::string(c.name) + ".mbff");
    c.make(path);
    for (bool withValues : {true, false}) {
      FeatureManager m(path);
      EXPECT_EQ(m.readFromFile(path, withValues), FeatureManager::kCannotOpen);
      EXPECT_EQ(m.recordCount(), 0u);
    }
    EXPECT_TRUE(log_.contains("can't open " + path + ": not a regular file"));
    FeatureManager m(path);
    EXPECT_FALSE(m.features(md5For(1), false).has_value());  // first use reads the store
    EXPECT_EQ(m.append(md5For(1), FeatureSet(sampleValues(1))), FeatureManager::kCannotOpen);
    EXPECT_EQ(m.recordCount(), 0u);
    EXPECT_TRUE(c.unchanged(path));
  }
}

// A store indexed from a sparse file of 800,000 records costs the index, not the file:
// only the two real records' values are ever brought in, and the damaged records of the
// hole are logged in a bounded number of lines.
TEST_F(HostileStore, SparseStoreCostsTheIndexNotItsSize) {
  constexpr std::size_t kRecords = 800000;
  const std::uint64_t size = FeatureManager::kHeaderSize + kRecords * FeatureManager::kRecordSize;
  const std::string last = md5For(7);
  makeSparse(path_, size, storeHeader() + rawRecord(md5For(0), sampleValues(0)),
             rawRecord(last, sampleValues(7)));
  if (!resetPeakMemory()) GTEST_SKIP() << "this kernel cannot reset the peak memory figure";
  const long before = peakMemoryKb();
  ASSERT_GT(before, 0);
  {
    FeatureManager m(path_);
    ASSERT_EQ(m.readFromFile(path_, true), FeatureManager::kOk);
    EXPECT_EQ(m.recordCount(), kRecords);
    auto first = m.features(md5For(0), false);
    auto end = m.features(last, false);
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(std::vector<float>(first->begin(), first->end()), sampleValues(0));
    EXPECT_EQ(std::vector<float>(end->begin(), end->end()), sampleValues(7));
    EXPECT_EQ(m.featureSetCount(), 2u);
    const long grown = peakMemoryKb() - before;
    // The index is some 70 bytes a record (56 MB); a copy of the file alone is 264 MB.
    EXPECT_LT(grown * 1024, static_cast<long>(size / 2)) << grown << " kB for " << size;
  }
  EXPECT_TRUE(log_.contains("mbff parse error for 1 "));
  EXPECT_TRUE(log_.contains("... and " + std::to_string(kRecords - 2 - 100) +
                            " more damaged records in " + path_));
  EXPECT_FALSE(log_.contains("mbff parse error for 101 "));
}

// A file longer than any store of a real library is refused before anything is read or
// allocated for it, and is not grown either.
TEST_F(HostileStore, StoreBeyondTheRecordBoundIsRefused) {
  const std::uint64_t size =
      FeatureManager::kHeaderSize + (FeatureManager::kMaxRecords + 1) * FeatureManager::kRecordSize;
  makeSparse(path_, size, storeHeader() + rawRecord(md5For(0), sampleValues(0)), "");
  for (bool withValues : {true, false}) {
    FeatureManager m(path_);
    EXPECT_EQ(m.readFromFile(path_, withValues), FeatureManager::kHeaderError);
    EXPECT_EQ(m.recordCount(), 0u);
  }
  EXPECT_TRUE(log_.contains("refusing " + path_ + ": " + std::to_string(size) + " bytes"));
  FeatureManager m(path_);
  EXPECT_EQ(m.append(md5For(1), FeatureSet(sampleValues(1))), FeatureManager::kHeaderError);
  EXPECT_TRUE(log_.contains("refusing to append to " + path_));
  EXPECT_EQ(std::filesystem::file_size(path_), size);
}

// A NaN or an infinity in a stored record marks it damaged: skipped with a warning in
// both ways of reading, the records around it kept.
TEST_F(HostileStore, NonFiniteValueMakesARecordDamaged) {
  uint32_t signallingBits = 0x7f800001u;
  float signalling;
  std::memcpy(&signalling, &signallingBits, sizeof signalling);
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), signalling};
  for (float value : bad) {
    for (int position : {0, 71}) {
      SCOPED_TRACE(std::to_string(value) + " at " + std::to_string(position));
      std::vector<float> damaged = sampleValues(1);
      damaged[static_cast<std::size_t>(position)] = value;
      writeFile(path_, storeHeader() + rawRecord(md5For(0), sampleValues(0)) +
                           rawRecord(md5For(1), damaged) + rawRecord(md5For(2), sampleValues(2)));
      for (bool withValues : {true, false}) {
        FeatureManager m(path_);
        ASSERT_EQ(m.readFromFile(path_, withValues), FeatureManager::kOk);
        EXPECT_EQ(m.recordCount(), 3u);
        EXPECT_FALSE(m.features(md5For(1), false).has_value());
        EXPECT_FALSE(m.features(md5For(1), true).has_value());
        EXPECT_EQ(m.featureSet(md5For(1)), nullptr);
        EXPECT_TRUE(m.features(md5For(0), true).has_value());
        auto third = m.features(md5For(2), false);
        ASSERT_TRUE(third.has_value());
        EXPECT_EQ(std::vector<float>(third->begin(), third->end()), sampleValues(2));
        EXPECT_TRUE(log_.contains("skipping damaged record 1 " + md5For(1) +
                                  ": a feature value is not a finite number"));
      }
    }
  }
}

// Nothing that is not a finite number gets into the store by an append.
TEST_F(HostileStore, NonFiniteValuesAreNotAppended) {
  writeFile(path_, storeHeader() + rawRecord(md5For(0), sampleValues(0)));
  FeatureManager m(path_);
  for (float value :
       {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
        std::numeric_limits<float>::quiet_NaN()}) {
    std::vector<float> values = sampleValues(1);
    values[10] = value;
    EXPECT_EQ(m.append(md5For(1), FeatureSet(values)), FeatureManager::kBadRecord);
  }
  EXPECT_EQ(readFile(path_), storeHeader() + rawRecord(md5For(0), sampleValues(0)));
  EXPECT_TRUE(m.features(md5For(0), false).has_value());
  EXPECT_FALSE(m.features(md5For(1), false).has_value());
}
