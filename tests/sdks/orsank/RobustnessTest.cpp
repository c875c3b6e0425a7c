// About a hundred damaged copies of the tagged files (truncated, bits flipped, ranges
// overwritten; the same copies on every run) through Orsank in this process, so that the
// sanitizer build sees every read TagLib makes. Each answer must keep the boundary's
// promises; scripts/stress-orsank.sh runs thousands more in child processes.
#include <gtest/gtest.h>

#include "OrsankTestSupport.h"

namespace orsank::test {
namespace {

TEST(OrsankRobustness, DamagedCopiesNeverBreakTheBoundary) {
  const auto orsank = loadEntry<ExtractMetaDataFn>("Orsank", "ExtractMetaData");
  ASSERT_TRUE(orsank.entry) << orsank.module.error();
  TempDir dir;
  constexpr int kCopiesPerFormat = 15;
  int answered = 0;
  int failed = 0;
  for (const char* ext : {"mp3", "m4a", "wav", "wma", "flac", "ogg", "opus"}) {
    const std::string bytes = readFile(tagFile(std::string("tagged.") + ext));
    ASSERT_FALSE(bytes.empty()) << ext;
    const std::string copy = dir.file(std::string("copy.") + ext);
    for (int i = 0; i < kCopiesPerFormat; ++i) {
      const std::uint64_t seed = 0x7a67'0000u + static_cast<std::uint64_t>(i) * 131 + ext[1];
      ASSERT_TRUE(writeFile(copy, damage(bytes, seed)));
      const Answer answer = ask(orsank.entry, copy.c_str());
      EXPECT_EQ(brokenPromise(answer), "") << ext << " seed " << seed;
      ++answered;
      if (answer.status < 0) ++failed;
    }
  }
  EXPECT_EQ(answered, 7 * kCopiesPerFormat);
  // The damage is real: some copies are refused, and most still read.
  EXPECT_GT(failed, 0);
  EXPECT_LT(failed, answered);
}

}  // namespace
}  // namespace orsank::test
