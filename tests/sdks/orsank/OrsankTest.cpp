// Orsank.so through its real export, on files tagged by ffmpeg: every format's five values
// and length, long UTF-8 titles, damaged and unreadable files, and Velmor missing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <string>

#include "OrsankTestSupport.h"
#include "zarvell/status.h"

namespace orsank::test {
namespace {

class Orsank : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(orsank_.entry) << orsank_.module.error();
    ASSERT_TRUE(fs::exists(tagFile(".stamp"))) << "tag fixtures missing";
  }
  Answer read(const std::string& path) const { return ask(orsank_.entry, path.c_str()); }

  Loaded<ExtractMetaDataFn> orsank_ = loadEntry<ExtractMetaDataFn>("Orsank", "ExtractMetaData");
};

struct FormatCase {
  const char* file;
  const char* title;
  const char* artist;
  const char* album;
  const char* genre;
  int year;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.file;
}

class OrsankFormats : public Orsank, public ::testing::WithParamInterface<FormatCase> {};

// Every file lasts 7.5 s: a length rounded instead of truncated would be 8.
TEST_P(OrsankFormats, GivesTheFiveValuesAndTheLength) {
  const FormatCase& c = GetParam();
  const Answer answer = read(tagFile(c.file));
  EXPECT_EQ(answer.status, 0);
  EXPECT_STREQ(answer.title, c.title);
  EXPECT_STREQ(answer.artist, c.artist);
  EXPECT_STREQ(answer.album, c.album);
  EXPECT_STREQ(answer.genre, c.genre);
  EXPECT_EQ(answer.year, c.year);
  EXPECT_EQ(answer.duration, 7);
  EXPECT_EQ(brokenPromise(answer), "");
}

constexpr const char* kArtist = "Zarvell Ensemble";
constexpr const char* kAlbum = "Night Sessions";

INSTANTIATE_TEST_SUITE_P(
    TaggedFiles, OrsankFormats,
    ::testing::Values(
        // ID3v2.4, date "1999-05-17" in TDRC.
        FormatCase{"tagged.mp3", "Blue Hour – Café mp3", kArtist, kAlbum, "Jazz", 1999},
        // ID3v2.3: the date as TYER.
        FormatCase{"tagged_v23.mp3", "Blue Hour – Café mp3", kArtist, kAlbum, "Jazz", 1999},
        // ID3v1 alone: genre stored as the number 8.
        FormatCase{"tagged_v1.mp3", "Blue Hour mp3", kArtist, kAlbum, "Jazz", 1999},
        FormatCase{"tagged.m4a", "Blue Hour – Café m4a", kArtist, kAlbum, "Jazz", 1999},
        FormatCase{"tagged.wav", "Blue Hour – Café wav", kArtist, kAlbum, "Jazz", 1999},
        // Through Velmor: WM/Year "1999-05".
        FormatCase{"tagged.wma", "Blue Hour – Café wma", kArtist, kAlbum, "Jazz", 1999},
        FormatCase{"tagged.flac", "Blue Hour – Café flac", kArtist, kAlbum, "Jazz", 1999},
        FormatCase{"tagged.ogg", "Blue Hour – Café ogg", kArtist, kAlbum, "Jazz", 1999},
        FormatCase{"tagged.opus", "Blue Hour – Café opus", kArtist, kAlbum, "Jazz", 1999},
        // RIFF INFO text that is not UTF-8 is read as Windows-1252.
        FormatCase{"cp1252.wav", "Café", "", "", "", 0},
        // No tags: empty texts, year 0, the length still known.
        FormatCase{"plain.mp3", "", "", "", "", 0}, FormatCase{"plain.flac", "", "", "", "", 0},
        FormatCase{"plain.wma", "", "", "", "", 0},
        FormatCase{"nodate.wma", "No Date", "", "", "", 0}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
      std::string name = info.param.file;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

// Titles longer than the buffer are cut at a UTF-8 character boundary, keeping as many
// whole characters as fit in 1,024 bytes.
TEST_F(Orsank, LongTitlesAreCutAtACharacterBoundary) {
  const std::string exact = std::string(1021, 'x') + "日";  // 1,024 bytes: fits exactly
  const std::string shorter = std::string(1022, 'x');       // "日" would end at byte 1,025
  const std::pair<const char*, const std::string*> cases[] = {
      {"long1024.mp3", &exact},   {"long1024.m4a", &exact},   {"long1024.wav", &exact},
      {"long1024.wma", &exact},   {"long1024.flac", &exact},  {"long1024.ogg", &exact},
      {"long1024.opus", &exact},  {"long1022.mp3", &shorter}, {"long1022.wma", &shorter},
      {"long1022.flac", &shorter}};
  for (const auto& [file, expected] : cases) {
    const Answer answer = read(tagFile(file));
    EXPECT_EQ(answer.status, 0) << file;
    EXPECT_EQ(std::string(answer.title), *expected) << file;
    EXPECT_EQ(brokenPromise(answer), "") << file;
  }
}

// Files TagLib cannot read, or where it finds neither a tag nor audio, leave every text
// empty and both numbers 0, with E_FAIL; so do paths that are not regular files (a FIFO
// would block a reader that opened it).
TEST_F(Orsank, UnreadableFilesGiveEmptyValuesAndANegativeStatus) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("pipe.flac").c_str(), 0600), 0);
  fs::create_directory(dir.file("folder.mp3"));
  for (const std::string& path :
       {audioFile("empty.mp3"), audioFile("garbage.mp3"), audioFile("garbage.m4a"),
        audioFile("garbage.wma"), audioFile("not_audio.wav"), audioFile("truncated_240s.m4a"),
        tagFile("not_audio.flac"), tagFile("not_audio.ogg"), tagFile("not_audio.opus"),
        tagFile("not_audio.m4a"), dir.file("missing.ogg"), dir.file("pipe.flac"),
        dir.file("folder.mp3"), std::string()}) {
    const Answer answer = read(path);
    EXPECT_EQ(answer.status, ZARVELL_E_FAIL) << path;
    EXPECT_EQ(brokenPromise(answer), "") << path;  // empty texts, zeros
  }
}

// A damaged file whose tag survived still gives its values.
TEST_F(Orsank, ATruncatedFileKeepsTheTagItStillHolds) {
  TempDir dir;
  const std::string bytes = readFile(tagFile("tagged.flac"));
  ASSERT_TRUE(writeFile(dir.file("cut.flac"), bytes.substr(0, bytes.size() / 2)));
  const Answer answer = read(dir.file("cut.flac"));
  EXPECT_EQ(answer.status, 0);
  EXPECT_STREQ(answer.title, "Blue Hour – Café flac");
  EXPECT_EQ(answer.year, 1999);
}

TEST_F(Orsank, NullArgumentsAreRefusedAndTheOthersEmptied) {
  char title[kOrsankTextBufferSize] = "stale";
  char album[kOrsankTextBufferSize] = "stale";
  char artist[kOrsankTextBufferSize] = "stale";
  std::int32_t year = 5;
  std::int32_t duration = 5;
  const std::string path = tagFile("tagged.mp3");
  EXPECT_EQ(orsank_.entry(path.c_str(), title, album, artist, nullptr, &year, &duration),
            ZARVELL_E_INVALIDARG);
  EXPECT_STREQ(title, "");
  EXPECT_STREQ(album, "");
  EXPECT_STREQ(artist, "");
  EXPECT_EQ(year, 0);
  EXPECT_EQ(duration, 0);
  char genre[kOrsankTextBufferSize] = "stale";
  EXPECT_EQ(orsank_.entry(nullptr, title, album, artist, genre, &year, &duration),
            ZARVELL_E_INVALIDARG);
  EXPECT_STREQ(genre, "");
}

// ".wma" in any case goes to Velmor; a program folder without Velmor.so still reads every
// other format, and Windows Media files then give nothing.
TEST_F(Orsank, WithoutVelmorOnlyWindowsMediaFilesGiveNothing) {
  TempDir songs;
  fs::copy_file(tagFile("tagged.wma"), songs.file("Upper.WMA"));
  const std::string wmaFiles[] = {tagFile("tagged.wma"), songs.file("Upper.WMA")};
  // The upper-case name reaches Velmor through the full program folder...
  for (const std::string& path : wmaFiles) {
    const Answer with = read(path);
    EXPECT_EQ(with.status, 0) << path;
    EXPECT_STREQ(with.title, "Blue Hour – Café wma") << path;
  }

  // ... and gives nothing from a program folder holding Orsank.so alone.
  TempDir program;
  fs::copy_file(fs::path(ZARVELL_PROGRAM_DIR) / "Orsank.so", program.file("Orsank.so"));
  ScopedEnv folder("ZARVELL_PROGRAM_DIR", program.path().string());
  const auto alone = loadEntry<ExtractMetaDataFn>(program.file("Orsank.so"), "ExtractMetaData");
  ASSERT_TRUE(alone.entry) << alone.module.error();
  for (const std::string& path : wmaFiles) {
    const Answer without = ask(alone.entry, path.c_str());
    EXPECT_EQ(without.status, ZARVELL_E_FAIL) << path;
    EXPECT_EQ(brokenPromise(without), "") << path;  // empty texts, zeros
  }
  for (const char* file : {"tagged.mp3", "tagged.flac", "tagged.m4a", "tagged.opus"}) {
    const Answer answer = ask(alone.entry, tagFile(file).c_str());
    EXPECT_EQ(answer.status, 0) << file;
    EXPECT_STREQ(answer.artist, kArtist) << file;
    EXPECT_EQ(answer.duration, 7) << file;
  }
}

}  // namespace
}  // namespace orsank::test
