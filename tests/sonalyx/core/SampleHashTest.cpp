// The sample hash: slice rules and their irregular corners, checked against digests made
// with dd and md5sum (committed files) or computed the same way at test time (encoded
// fixtures, whose bytes depend on the encoder version).
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>

#include "SampleHash.h"
#include "SonalyxTestSupport.h"

namespace sonalyx::test {
namespace {

constexpr char kMessage[] = "The argument nBytes exceeds the file size\n";

std::string hashOf(const std::string& file) {
  const std::u16string path = zarvell::pathToUtf16(file);
  return sampleHash(path.c_str());
}

struct HashCase {
  const char* file;
  const char* expected;  // md5sum of the dd-cut bytes named in `slice`
  const char* slice;
  bool printsMessage;
};

void PrintTo(const HashCase& c, std::ostream* os) { *os << c.file; }

class SampleHashCorners : public ::testing::TestWithParam<HashCase> {};

TEST_P(SampleHashCorners, MatchesIndependentDigest) {
  const HashCase& c = GetParam();
  ::testing::internal::CaptureStdout();
  const std::string hash = hashOf(dataFile(c.file));
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(hash, c.expected) << c.file << ": " << c.slice;
  EXPECT_EQ(out, c.printsMessage ? kMessage : "") << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    CommittedFiles, SampleHashCorners,
    ::testing::Values(
        // ID3 size bytes 00 00 02 01 read as plain big-endian: tag 513 + 10 = 523 (the
        // syncsafe reading, 267, would give 1c511882...).
        HashCase{"id3_0201_24000.mp3", "1181dd63cbbe92a69b1532110bf1c225",
                 "bytes 523..20522", false},
        // Same tag, 3,000 bytes: length 2,349, but the third chunk is sized by the file
        // (952 bytes): 429 fresh bytes and 523 stale ones of the second chunk.
        HashCase{"id3_stale_3000.mp3", "f887002e83dc353325f5829bc26ab181",
                 "bytes 523..2999, then 1976..2498", false},
        // Tag larger than the file: offset 0, the whole file.
        HashCase{"id3_past_end.mp3", "c1c9b456d8f1b2038746931fd4668006", "whole file", false},
        // No tag, 50,000 bytes: offset -100,000 + 50,000 < 0, so bytes 0..19,999.
        HashCase{"notag_50000.mp3", "095c6ed25a58a5bd5659403bddd39164", "bytes 0..19999",
                 false},
        // Fewer than ten header bytes: hashed whole.
        HashCase{"tiny_5.mp3", "5817b6ade0139cd5263d8afb31e6487b", "whole file", false},
        // 30,000-byte WAV: offset 15,000; fifteen chunks, the last one 664 fresh bytes and
        // 360 stale bytes of the fourteenth chunk, then the end of the file is reported.
        HashCase{"stale_30000.wav", "cb2774a83c093b2fcdfe623a061d33af",
                 "bytes 15000..29999, then 28976..29335", true},
        // Files of 10,000 bytes are hashed whole.
        HashCase{"whole_10000.wav", "804ef51581ee4bcbd57c77fec5c12ace", "whole file", false},
        HashCase{"whole_10000.m4a", "7b1974664c6e13b95f2ff716d0e6f278", "whole file", false}),
    [](const ::testing::TestParamInfo<HashCase>& info) {
      std::string name = info.param.file;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(SampleHash, KindIsTakenFromTheLastThreeCharactersInAnyCase) {
  TempDir dir;
  const std::string wav = dataFile("whole_10000.wav");
  const std::string expected = "804ef51581ee4bcbd57c77fec5c12ace";
  for (const char* name : {"Song.WAV", "song.wav", "song.Wav", "x.mp3", "X.M4A", "y.wma",
                           "protected.M4P", "nodotmp3"}) {
    fs::copy_file(wav, dir.path() / name);
    EXPECT_EQ(hashOf(dir.file(name)), expected) << name;
  }
  // The same 50,000 bytes get the MP3 rule (first 20,000) under either case...
  fs::copy_file(dataFile("notag_50000.mp3"), dir.path() / "Song.MP3");
  EXPECT_EQ(hashOf(dir.file("Song.MP3")), "095c6ed25a58a5bd5659403bddd39164");
  // ... and the WAV rule (offset 25,000) under .wav.
  fs::copy_file(dataFile("notag_50000.mp3"), dir.path() / "other.wav");
  EXPECT_EQ(hashOf(dir.file("other.wav")), ddMd5(dataFile("notag_50000.mp3"), 25000, 20000));
}

TEST(SampleHash, NoHashWithoutAKnownKindOrAReadableFile) {
  TempDir dir;
  // A Xiph extension counts only as a whole extension at the very end of the name.
  for (const char* name : {"song.mp4", "mp", "song.xyz", "songflac", "song.flac.txt", "opus"}) {
    fs::copy_file(dataFile("whole_10000.wav"), dir.path() / name);
    EXPECT_EQ(hashOf(dir.file(name)), "") << name;
  }
  EXPECT_EQ(hashOf(dir.file("missing.mp3")), "");
  fs::create_directory(dir.path() / "folder.mp3");
  EXPECT_EQ(hashOf(dir.file("folder.mp3")), "");
  EXPECT_EQ(sampleHash(nullptr), "");
  EXPECT_EQ(sampleHash(u""), "");
}

// FLAC, Ogg and Opus files (any case of the extension) are hashed with the AAC rule: 20,000
// bytes starting 100,000 before the end, or the whole file when it is shorter than that.
TEST(SampleHash, XiphFilesUseTheAacSlice) {
  TempDir dir;
  const std::string big = audioFile("noise_30s.wav");
  ASSERT_TRUE(fs::exists(big));
  const long long size = static_cast<long long>(fs::file_size(big));
  ASSERT_GT(size, 120000);
  const std::string fromEnd = ddMd5(big, size - 100000, 20000);
  ASSERT_NE(fromEnd, ddMd5(big, size / 2, 20000));  // the WAV rule would give another key
  for (const char* name :
       {"song.flac", "Song.FLAC", "a.ogg", "b.Ogg", "c.oga", "d.OGA", "e.opus", "f.OpUs"}) {
    fs::copy_file(big, dir.path() / name);
    EXPECT_EQ(hashOf(dir.file(name)), fromEnd) << name;
  }
  fs::copy_file(dataFile("whole_10000.wav"), dir.path() / "short.flac");
  EXPECT_EQ(hashOf(dir.file("short.flac")), "804ef51581ee4bcbd57c77fec5c12ace");
  std::ofstream(dir.file("empty.opus")).close();
  EXPECT_EQ(hashOf(dir.file("empty.opus")), "");
}

// Empty files have nothing to tell them apart: none gets a hash (the digest of no bytes,
// d41d8cd9..., would give all of them one identity), whatever its kind. One byte is enough.
TEST(SampleHash, EmptyFilesHaveNoHash) {
  TempDir dir;
  for (const char* name : {"empty.mp3", "other.mp3", "empty.wav", "empty.m4a", "empty.wma"}) {
    std::ofstream(dir.file(name)).close();
    EXPECT_EQ(hashOf(dir.file(name)), "") << name;
  }
  std::ofstream(dir.file("one.mp3"), std::ios::binary) << 'x';
  EXPECT_EQ(hashOf(dir.file("one.mp3")), ddMd5(dir.file("one.mp3"), 0, 1));
}

TEST(SampleHash, NonAsciiPathIsOpenedThroughUtf8) {
  TempDir dir;
  const std::string name = "Mot\xc3\xb6rhead \xe2\x80\x93 \xe6\x97\xa5.wav";
  fs::copy_file(dataFile("whole_10000.wav"), dir.path() / name);
  EXPECT_EQ(hashOf(dir.file(name)), "804ef51581ee4bcbd57c77fec5c12ace");
}

// A name that is not valid UTF-8 reaches the file system byte for byte across the UTF-16
// path: the file is hashed like the same bytes under any other name.
TEST(SampleHash, NonUtf8NameIsOpenedByItsOwnBytes) {
  TempDir dir;
  for (const char* name : {"caf\xe9.wav", "\xff\xfe \x80.wav", "cut \xe2\x80.wav"}) {
    fs::copy_file(dataFile("whole_10000.wav"), dir.path() / name);
    EXPECT_EQ(hashOf(dir.file(name)), "804ef51581ee4bcbd57c77fec5c12ace") << name;
  }
  // The Windows-1252 reading of the same name is another file, which does not exist.
  const std::u16string text = zarvell::utf8ToUtf16(dir.file("caf\xe9.wav"));
  EXPECT_EQ(sampleHash(text.c_str()), "");
}

// Encoded fixtures: the same rules on real files, digests cut with dd at test time.
TEST(SampleHash, EncodedFixturesFollowTheSliceRules) {
  const std::string m4a = audioFile("marker65_240s.m4a");
  const std::string wav = audioFile("marker65_240s.wav");
  const std::string wma = audioFile("marker65_240s.wma");
  const std::string mp3 = audioFile("marker65_240s.mp3");
  const std::string id3 = audioFile("marker65_240s_id3.mp3");
  for (const auto& f : {m4a, wav, wma, mp3, id3}) ASSERT_TRUE(fs::exists(f)) << f;

  // 100,000 bytes before the end, or from the start of a file shorter than that.
  auto fromEnd = [](const std::string& f) {
    return std::max(static_cast<long long>(fs::file_size(f)) - 100000, 0LL);
  };
  EXPECT_EQ(hashOf(m4a), ddMd5(m4a, fromEnd(m4a), 20000));
  EXPECT_EQ(hashOf(wma), ddMd5(wma, fromEnd(wma), 20000));
  const long long wavSize = static_cast<long long>(fs::file_size(wav));
  EXPECT_EQ(hashOf(wav), ddMd5(wav, wavSize / 2, 20000));
  // No tag: the file is far longer than 100,000 bytes, offset -100,000 from the end...
  const long long mp3Size = static_cast<long long>(fs::file_size(mp3));
  ASSERT_GT(mp3Size, 120000);
  EXPECT_EQ(hashOf(mp3), ddMd5(mp3, mp3Size - 100000, 20000));

  // ... with a tag the slice starts right after the tag, its size bytes read plainly.
  std::ifstream in(id3, std::ios::binary);
  unsigned char header[10] = {};
  in.read(reinterpret_cast<char*>(header), 10);
  ASSERT_EQ(std::string(reinterpret_cast<char*>(header), 3), "ID3");
  const long long plain = (static_cast<long long>(header[6]) << 24) | (header[7] << 16) |
                          (header[8] << 8) | header[9];
  EXPECT_EQ(hashOf(id3), ddMd5(id3, plain + 10, 20000));
}

}  // namespace
}  // namespace sonalyx::test
