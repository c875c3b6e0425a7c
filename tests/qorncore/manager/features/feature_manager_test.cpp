// The binary feature store: layout, reading with and without values, bad and partial
// records, appending (with the repair of a store cut short), random access and the
// normalised cache.
#include <gtest/gtest.h>

#include <filesystem>

#include "feature_test_support.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;
using namespace featuretest;

namespace {

class FeatureStore : public testing::Test {
 protected:
  void SetUp() override { normaliserTable() = normalTable(); }
  void TearDown() override { normaliserTable().clear(); }

  // A store file holding the given raw records after the header.
  std::string makeStore(const std::string& records) {
    writeFile(path_, storeHeader() + records);
    return path_;
  }
  std::string goodRecords(int count, int firstSeed = 0) {
    std::string out;
    for (int i = firstSeed; i < firstSeed + count; ++i)
      out += rawRecord(md5For(i), sampleValues(i));
    return out;
  }

  TempDir dir_;
  std::string path_ = dir_.file("features.mbff");
  LogCapture log_;
};

}  // namespace

TEST_F(FeatureStore, OpenAndHeaderErrors) {
  FeatureManager m;
  EXPECT_EQ(m.readFromFile("", true), FeatureManager::kCannotOpen);
  EXPECT_EQ(m.readFromFile(dir_.file("missing.mbff"), true), FeatureManager::kCannotOpen);
  writeFile(path_, "MBFFmbinf2.000");
  EXPECT_EQ(m.readFromFile(path_, true), FeatureManager::kHeaderError);
  EXPECT_TRUE(log_.contains(" syntax error in header of " + path_));
  writeFile(path_, "MBFF");
  EXPECT_EQ(m.readFromFile(path_, false), FeatureManager::kHeaderError);
}

TEST_F(FeatureStore, HeaderOnlyHoldsNothing) {
  makeStore("");
  FeatureManager m;
  EXPECT_EQ(m.readFromFile(path_, true), FeatureManager::kOk);
  EXPECT_EQ(m.recordCount(), 0u);
  EXPECT_EQ(m.featureSetCount(), 0u);
  EXPECT_TRUE(log_.contains("parsed 0 feature sets"));
  EXPECT_FALSE(m.features(md5For(1), false).has_value());
}

TEST_F(FeatureStore, HeaderTailIsNotChecked) {
  std::string store = storeHeader() + goodRecords(1);
  store[12] = 'x';
  store[13] = 'y';
  writeFile(path_, store);
  FeatureManager m;
  EXPECT_EQ(m.readFromFile(path_, true), FeatureManager::kOk);
  EXPECT_EQ(m.featureSetCount(), 1u);
}

TEST_F(FeatureStore, BadRecordIsDroppedAndTheRestRead) {
  makeStore(rawRecord(md5For(0), sampleValues(0)) + rawRecord(md5For(1), sampleValues(1), 31.0f) +
            rawRecord(md5For(2), sampleValues(2)));
  FeatureManager m(path_);
  ASSERT_EQ(m.readFromFile(path_, true), FeatureManager::kOk);
  EXPECT_TRUE(log_.contains("mbff parse error for 1 " + md5For(1)));
  EXPECT_TRUE(log_.contains("parsed 3 feature sets"));
  EXPECT_EQ(m.recordCount(), 3u);
  EXPECT_EQ(m.featureSetCount(), 2u);
  EXPECT_EQ(m.featureSet(md5For(1)), nullptr);
  EXPECT_FALSE(m.features(md5For(1), false).has_value());
  auto third = m.features(md5For(2), false);
  ASSERT_TRUE(third.has_value());
  EXPECT_EQ(std::vector<float>(third->begin(), third->end()), sampleValues(2));
  EXPECT_EQ(m.featureSet(md5For(2))->tempo(), 140 + 2);  // derived from BH_HighPeakBPM
}

TEST_F(FeatureStore, SameIndexWithAndWithoutValues) {
  // Record 3 repeats the md5 of record 1: the later record wins in both readings.
  std::string records = goodRecords(3) + rawRecord(md5For(1), sampleValues(9));
  makeStore(records);
  FeatureManager with(path_), without(path_);
  ASSERT_EQ(with.readFromFile(path_, true), FeatureManager::kOk);
  ASSERT_EQ(without.readFromFile(path_, false), FeatureManager::kOk);
  ASSERT_EQ(with.recordCount(), 4u);
  ASSERT_EQ(without.recordCount(), 4u);
  EXPECT_EQ(without.featureSetCount(), 0u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(with.md5At(i), without.md5At(i));
    EXPECT_EQ(with.indexOf(with.md5At(i)), without.indexOf(with.md5At(i)));
  }
  EXPECT_EQ(with.indexOf(md5For(1)), 3);
  // Random access reads the indexed record on demand, with the same result.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(without.features(md5For(i), false), with.features(md5For(i), false)) << i;
  }
  EXPECT_EQ(without.featureSetCount(), 3u);
  auto repeated = without.features(md5For(1), false);
  EXPECT_EQ(std::vector<float>(repeated->begin(), repeated->end()), sampleValues(9));
}

TEST_F(FeatureStore, RandomAccessOfAStoreThatWentAway) {
  makeStore(goodRecords(2));
  FeatureManager m(path_);
  ASSERT_EQ(m.readFromFile(path_, false), FeatureManager::kOk);
  std::filesystem::remove(path_);
  EXPECT_EQ(m.featureSet(md5For(0)), nullptr);
  EXPECT_TRUE(log_.contains("can't open " + path_ + " for read"));
}

TEST_F(FeatureStore, FirstAppendCreatesTheStoreByteForByte) {
  const std::string path = dir_.file("networks/features.mbff");  // folder made on demand
  FeatureManager m(path);
  FeatureSet set(sampleValues(4));
  ASSERT_EQ(m.append(md5For(4), set), FeatureManager::kOk);
  EXPECT_TRUE(log_.contains("created " + path));
  const std::string bytes = readFile(path);
  ASSERT_EQ(bytes.size(), 14u + 330u);
  EXPECT_EQ(bytes, storeHeader() + rawRecord(md5For(4), sampleValues(4)));

  ASSERT_EQ(m.append(md5For(5), FeatureSet(sampleValues(5))), FeatureManager::kOk);
  EXPECT_EQ(readFile(path).size(), 14u + 2 * 330u);
  EXPECT_EQ(m.recordCount(), 2u);
  EXPECT_EQ(m.indexOf(md5For(5)), 1);

  FeatureManager reader(path);
  ASSERT_EQ(reader.readFromFile(path, true), FeatureManager::kOk);
  EXPECT_EQ(reader.featureSetCount(), 2u);
  EXPECT_EQ(reader.features(md5For(5), false), m.features(md5For(5), false));
}

TEST_F(FeatureStore, AppendKeepsWhatIsAlreadyStored) {
  makeStore(goodRecords(3));
  FeatureManager m(path_);
  ASSERT_EQ(m.append(md5For(10), FeatureSet(sampleValues(10))), FeatureManager::kOk);
  EXPECT_EQ(m.recordCount(), 4u);
  EXPECT_EQ(m.indexOf(md5For(10)), 3);
  EXPECT_EQ(m.indexOf(md5For(2)), 2);
  EXPECT_EQ(readFile(path_),
            storeHeader() + goodRecords(3) + rawRecord(md5For(10), sampleValues(10)));
}

TEST_F(FeatureStore, MalformedAppendsAreRefused) {
  FeatureManager m(path_);
  EXPECT_EQ(m.append(md5For(1).substr(1), FeatureSet(sampleValues(1))), FeatureManager::kBadRecord);
  EXPECT_EQ(m.append(md5For(1), FeatureSet(std::vector<float>(71, 1.0f))),
            FeatureManager::kBadRecord);
  FeatureSet normalised(sampleValues(1));
  normalised.normalise();
  EXPECT_EQ(m.append(md5For(1), normalised), FeatureManager::kBadRecord);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(FeatureStore, ForeignFileIsNotAppendedTo) {
  writeFile(path_, "this is not a feature store at all");
  FeatureManager m(path_);
  EXPECT_EQ(m.append(md5For(1), FeatureSet(sampleValues(1))), FeatureManager::kHeaderError);
  EXPECT_EQ(readFile(path_), "this is not a feature store at all");
}

TEST_F(FeatureStore, CutHeaderIsWrittenAgain) {
  writeFile(path_, "MBFFmbi");
  FeatureManager m(path_);
  ASSERT_EQ(m.append(md5For(1), FeatureSet(sampleValues(1))), FeatureManager::kOk);
  EXPECT_EQ(readFile(path_), storeHeader() + rawRecord(md5For(1), sampleValues(1)));
}

// An append cut short by a crash: the cut record is ignored when reading, and removed
// before the next append so that every later record stays aligned.
TEST_F(FeatureStore, StoreCutInARecordIsRepairedBeforeAppending) {
  const std::string whole = goodRecords(2);
  const std::size_t cuts[] = {1, 10, 32, 100, 329};
  for (std::size_t cut : cuts) {
    SCOPED_TRACE(cut);
    makeStore(whole + rawRecord(md5For(2), sampleValues(2)).substr(0, cut));
    {
      FeatureManager reader(path_);
      ASSERT_EQ(reader.readFromFile(path_, true), FeatureManager::kOk);
      EXPECT_EQ(reader.recordCount(), 2u);
      EXPECT_EQ(reader.featureSetCount(), 2u);
      EXPECT_TRUE(log_.contains("ignoring partial record of " + std::to_string(cut) + " bytes"));
    }
    FeatureManager m(path_);
    ASSERT_EQ(m.append(md5For(3), FeatureSet(sampleValues(3))), FeatureManager::kOk);
    ASSERT_EQ(m.append(md5For(4), FeatureSet(sampleValues(4))), FeatureManager::kOk);
    EXPECT_TRUE(log_.contains("cutting partial record of " + std::to_string(cut) + " bytes"));
    EXPECT_EQ(readFile(path_), storeHeader() + whole + rawRecord(md5For(3), sampleValues(3)) +
                                   rawRecord(md5For(4), sampleValues(4)));
    FeatureManager again(path_);
    ASSERT_EQ(again.readFromFile(path_, true), FeatureManager::kOk);
    EXPECT_EQ(again.featureSetCount(), 4u);
    auto last = again.features(md5For(4), false);
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(std::vector<float>(last->begin(), last->end()), sampleValues(4));
  }
}

TEST_F(FeatureStore, NormalisedOnceForTwoRequests) {
  makeStore(goodRecords(2));
  FeatureManager m(path_);
  auto first = m.features(md5For(1), true);  // reads the store on first use
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(m.hasBeenRead());
  EXPECT_NE(m.extraData(md5For(1)), nullptr);
  EXPECT_EQ(m.extraData(md5For(0)), nullptr);
  for (int i = 0; i < kFeatureCount; ++i) {
    EXPECT_FLOAT_EQ((*first)[i], normalTable().at(i)->normalise(sampleValues(1)[i]));
  }
  // Were the set normalised again, the new table would show in the result.
  normaliserTable() = mixedTable();
  EXPECT_EQ(m.features(md5For(1), true), first);
  EXPECT_FALSE(log_.contains("memory leak in setExtraData"));
  // The raw values are untouched by normalising.
  auto raw = m.features(md5For(1), false);
  EXPECT_EQ(std::vector<float>(raw->begin(), raw->end()), sampleValues(1));
}

TEST_F(FeatureStore, NoNormalisedFormWithoutFeaturesOrNormalisers) {
  makeStore(rawRecord(md5For(0), std::vector<float>(kFeatureCount, 0.0f)) + goodRecords(1, 1));
  FeatureManager m(path_);
  EXPECT_FALSE(m.features(md5For(0), true).has_value());  // all zero: no features
  EXPECT_TRUE(m.features(md5For(0), false).has_value());
  normaliserTable().clear();
  EXPECT_FALSE(m.features(md5For(1), true).has_value());
  EXPECT_EQ(m.extraData(md5For(1)), nullptr);
  normaliserTable() = normalTable();
  EXPECT_TRUE(m.features(md5For(1), true).has_value());
}

TEST_F(FeatureStore, ExtraDataErrors) {
  makeStore(goodRecords(2));
  FeatureManager m(path_);
  m.ensureRead();
  m.setExtraData(2, std::make_unique<float[]>(kFeatureCount));
  EXPECT_TRUE(log_.contains(" illegal idx in setExtraData: 2"));
  auto values = std::make_unique<float[]>(kFeatureCount);
  values[0] = 0.5f;
  m.setExtraData(1, std::move(values));
  EXPECT_FALSE(log_.contains("memory leak in setExtraData"));
  auto replacement = std::make_unique<float[]>(kFeatureCount);
  replacement[0] = -0.5f;
  m.setExtraData(1, std::move(replacement));
  EXPECT_TRUE(log_.contains("memory leak in setExtraData"));
  EXPECT_FLOAT_EQ(m.extraData(md5For(1))[0], -0.5f);
  EXPECT_FLOAT_EQ((*m.features(md5For(1), true))[0], -0.5f);  // the cache answers
  m.clearExtraData();
  EXPECT_EQ(m.extraData(md5For(1)), nullptr);
}
