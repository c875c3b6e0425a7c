// sonalyx-probe run as a user runs it: options, the text and JSON forms, the reasons given
// on standard error, folder scanning and the exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qorncore/manager/features/FeatureSet.h"

namespace {

namespace fs = std::filesystem;

std::string audioFile(const std::string& name) {
  return std::string(ZARVELL_TEST_DATA_DIR) + "/audio/" + name;
}

std::string quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "probe-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const fs::path& path() const { return path_; }
  std::string copy(const std::string& fixture, const std::string& as) const {
    fs::create_directories((path_ / as).parent_path());
    fs::copy_file(audioFile(fixture), path_ / as);
    return (path_ / as).string();
  }

 private:
  fs::path path_;
};

struct ProbeRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program folder's probe with `arguments` (already quoted as needed).
ProbeRun probe(const std::string& arguments) {
  Scratch capture;
  const fs::path out = capture.path() / "out", err = capture.path() / "err";
  const std::string command = quote(std::string(ZARVELL_PROGRAM_DIR) + "/sonalyx-probe") + " " +
                              arguments + " >" + quote(out.string()) + " 2>" + quote(err.string());
  const int raw = std::system(command.c_str());
  ProbeRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readAll(out);
  run.err = readAll(err);
  return run;
}

int countOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(Probe, HelpVersionAndUsageErrors) {
  for (const char* option : {"--help", "-h"}) {
    const ProbeRun run = probe(option);
    EXPECT_EQ(run.status, 0) << option;
    EXPECT_EQ(run.out.rfind("usage: sonalyx-probe", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("--json"), std::string::npos);
    EXPECT_EQ(run.err, "");
  }
  const ProbeRun version = probe("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("sonalyx-probe (Zarvell) ", 0), 0u) << version.out;
  EXPECT_EQ(version.err, "");

  struct Case {
    const char* arguments;
    const char* reason;
  };
  for (const Case& c : {Case{"", "sonalyx-probe: no file or folder given\n"},
                        Case{"--bogus x.mp3", "sonalyx-probe: unknown option '--bogus'\n"}}) {
    SCOPED_TRACE(c.arguments);
    const ProbeRun run = probe(c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(c.reason, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("usage: sonalyx-probe"), std::string::npos);
  }
}

// A song gives its hash, decoder, length and 72 features on standard output and nothing
// on standard error.
TEST(Probe, SongIsReportedOnStandardOutputOnly) {
  const ProbeRun run = probe(quote(audioFile("marker65_240s.mp3")));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("decoder: Tolvane\n"), std::string::npos);
  EXPECT_NE(run.out.find("media seconds: 240\n"), std::string::npos);
  EXPECT_EQ(countOf(run.out, "\nf3"), 72);
  EXPECT_NE(run.out.find("\nf371: "), std::string::npos);
}

// Every file that gives no result says why on standard error, the others still come out,
// and the exit status is 1.
TEST(Probe, ReasonsForFilesWithoutAResult) {
  Scratch dir;
  const std::string missing = (dir.path() / "missing.mp3").string();
  const std::string garbage = dir.copy("garbage.mp3", "garbage.mp3");
  std::ofstream((dir.path() / "empty.mp3").string()).close();
  const std::string aiff = dir.copy("tone1k_20s.wav", "song.aiff");
  const std::string good = dir.copy("tone1k_20s.wav", "good.wav");
  const ProbeRun run = probe(quote(missing) + " " + quote(garbage) + " " +
                        quote((dir.path() / "empty.mp3").string()) + " " + quote(aiff) + " " +
                        quote(good));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("sonalyx-probe: " + missing + ": No such file or directory\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("sonalyx-probe: " + garbage +
                         ": cannot be analysed: no decoder could read it (Tolvane: status "
                         "0x80004005, 0 samples; Pradix: status 0x80004005, 0 samples)\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("empty.mp3: no sample hash: the file is empty\n"), std::string::npos);
  EXPECT_NE(run.out.find("md5: (none: the file is empty)\n"), std::string::npos);
  EXPECT_NE(run.err.find("song.aiff: no sample hash: only files ending in .mp3, .m4a, .wav, "
                         ".wma, .m4p, .flac, .ogg, .oga or .opus have a sample hash\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find(good + ": "), std::string::npos) << run.err;
  // The missing file gives no record; the other four do, the good one with features.
  EXPECT_EQ(countOf(run.out, "file: "), 4);
  EXPECT_EQ(countOf(run.out, "features: (analysis failed)"), 2);
  EXPECT_EQ(countOf(run.out, "\nf300: "), 2);  // the .aiff decodes too: it only lacks a hash
}

// Folders are scanned recursively for audio files (other files are left alone), in sorted
// order, with one progress line per file on standard error unless --quiet.
TEST(Probe, FoldersAreScannedRecursively) {
  Scratch dir;
  dir.copy("tone1k_20s.mp3", "b/deeper/two.mp3");
  dir.copy("tone1k_20s.wav", "a/one.WAV");
  dir.copy("tone1k_20s.m4a", "three.m4a");
  std::ofstream((dir.path() / "a" / "cover.jpg").string()) << "not a song";
  std::ofstream((dir.path() / "notes.txt").string()) << "not a song";
  const std::string root = dir.path().string();
  const ProbeRun run = probe(quote(root));
  EXPECT_EQ(run.status, 0) << run.err;
  const std::size_t one = run.out.find("file: " + root + "/a/one.WAV\n");
  const std::size_t two = run.out.find("file: " + root + "/b/deeper/two.mp3\n");
  const std::size_t three = run.out.find("file: " + root + "/three.m4a\n");
  ASSERT_NE(one, std::string::npos) << run.out;
  ASSERT_NE(two, std::string::npos);
  ASSERT_NE(three, std::string::npos);
  EXPECT_LT(one, two);
  EXPECT_LT(two, three);
  EXPECT_EQ(countOf(run.out, "file: "), 3);
  EXPECT_EQ(run.err, "sonalyx-probe: [1/3] " + root + "/a/one.WAV\n" + "sonalyx-probe: [2/3] " +
                         root + "/b/deeper/two.mp3\n" + "sonalyx-probe: [3/3] " + root +
                         "/three.m4a\n");
  const ProbeRun quiet = probe("--quiet " + quote(root));
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.out, run.out);

  // A folder without audio files is a reason, not silence.
  fs::create_directories(dir.path() / "empty" / "inner");
  const ProbeRun none = probe(quote((dir.path() / "empty").string()));
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "sonalyx-probe: " + (dir.path() / "empty").string() +
                          ": no audio files in this folder or below it\n");
}

// --json: one array, an object per file, the features by the names the engine's feature
// files use, in position order. Checked with Python's JSON reader.
TEST(Probe, JsonCarriesTheFeatureNames) {
  Scratch dir;
  const std::string good = dir.copy("tone1k_20s.wav", "good \"quoted\".wav");
  const std::string bad = dir.copy("garbage.mp3", "bad.mp3");
  const ProbeRun run = probe("--json " + quote(good) + " " + quote(bad));
  EXPECT_EQ(run.status, 1);
  std::ofstream((dir.path() / "out.json").string()) << run.out;
  const std::string script =
      "import json,sys\n"
      "d=json.load(open(sys.argv[1]))\n"
      "print(len(d))\n"
      "for r in d: print(r['file'].rsplit('/',1)[1], r['md5'] is not None, r['decoder'],\n"
      "  r['mediaSeconds'], r['analysed'], len(r['features']),\n"
      "  sum(v is not None for v in r['features'].values()), r['error'][:24])\n"
      "print('|'.join(d[0]['features']))\n";
  std::ofstream((dir.path() / "check.py").string()) << script;
  FILE* pipe = ::popen(("python3 " + quote((dir.path() / "check.py").string()) + " " +
                        quote((dir.path() / "out.json").string()))
                           .c_str(),
                       "r");
  ASSERT_NE(pipe, nullptr);
  std::string answer;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) answer += buffer;
  ASSERT_EQ(::pclose(pipe), 0) << run.out;
  std::istringstream lines(answer);
  std::string count, first, second, names;
  std::getline(lines, count);
  std::getline(lines, first);
  std::getline(lines, second);
  std::getline(lines, names);
  EXPECT_EQ(count, "2");
  EXPECT_EQ(first, "good \"quoted\".wav True Tolvane 20 True 72 72 ");
  EXPECT_EQ(second, "bad.mp3 True None 0 False 72 0 no decoder could read it");
  std::string expected;
  for (int k = 0; k < 72; ++k) expected += (k ? "|" : "") + std::string(qorn::getFeatureName(k));
  EXPECT_EQ(names, expected);
  EXPECT_NE(run.err.find("bad.mp3: cannot be analysed"), std::string::npos);
}

}  // namespace
