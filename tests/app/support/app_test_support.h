// Helpers for the player's tests: a Qt application on the offscreen platform, a scratch
// data folder made current, networks of real songs written as network files, and waiting
// on the event loop.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace apptest {

// The application object of the test program, made by app_test_main.cpp.
inline QApplication& application() { return *static_cast<QApplication*>(QApplication::instance()); }

// The whole content of a file ("" when it cannot be read).
inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text;
}

// How often `what` occurs in `text`.
inline int countOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

inline std::string audioFixture(const std::string& name) {
  return std::string(ZARVELL_TEST_DATA_DIR) + "/audio/" + name;
}

// A fresh data folder ($ZARVELL_HOME, with "networks/"), made the current folder; the old
// current folder and variable come back on destruction.
class ScratchHome {
 public:
  ScratchHome() {
    char pattern[] = "/tmp/zarvell-app-XXXXXX";
    path_ = mkdtemp(pattern);
    std::filesystem::create_directories(path_ + "/networks");
    old_ = std::filesystem::current_path();
    if (const char* home = std::getenv("ZARVELL_HOME")) oldHome_ = home;
    setenv("ZARVELL_HOME", path_.c_str(), 1);
    std::filesystem::current_path(path_);
  }
  ~ScratchHome() {
    std::filesystem::current_path(old_);
    if (oldHome_.empty())
      unsetenv("ZARVELL_HOME");
    else
      setenv("ZARVELL_HOME", oldHome_.c_str(), 1);
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
  std::filesystem::path old_;
  std::string oldHome_;
};

struct SongSpec {
  std::string name;
  std::string location;  // absolute path of the audio file (may be missing on purpose)
  int duration = -1;     // seconds, -1 unknown
  double activation = 0.0;
};

// Percent escapes for the network file's texts.
inline std::string escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ' ')
      out += static_cast<char>(c);
    else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02x", c);
      out += hex;
    }
  }
  return out;
}

// A distinct md5 text per song number.
inline std::string md5Of(size_t i) {
  char text[33];
  std::snprintf(text, sizeof text, "%032zx", i + 1);
  return text;
}

// A network of songs (ids 100, 101, ...) on one album (id 10) by one artist (id 1), with
// meta links, written to `path`.
inline void writeSongNetwork(const std::string& path, const std::vector<SongSpec>& songs) {
  std::ofstream out(path);
  out << "<qornnet version=\"1.0\">\n<settings>\n\t<mediaroot path=\"\"/>\n</settings>\n<nodes>\n";
  out << "<artist id=\"1\" name=\"Test Artist\" activation=\"0\" lastplayed=\"-1\" playcount=\"0\" "
         "apb=\"off\"  duration=\"0\"  ul=\"0\" >\n\t<keywords>\t</keywords>\n</artist>\n";
  for (size_t i = 0; i < songs.size(); ++i) {
    const SongSpec& s = songs[i];
    out << "<song id=\"" << 100 + i << "\" name=\"" << escaped(s.name) << "\" activation=\""
        << s.activation << "\" lastplayed=\"-1\" playcount=\"0\" apb=\"on\"  duration=\""
        << s.duration << "\"  ul=\"0\"  md5=\"" << md5Of(i) << "\">\n"
        << "\t<media location=\"" << escaped(s.location) << "\"/>\n\t<onalbum aid=\"10\"/>\n"
        << "\t<people>\n\t\t<person pid=\"1\" role=\"artist\"/>\n\t</people>\n"
        << "\t<segment segid=\"1\" start=\"0\" end=\"end\" tempo=\"-1\"/>\n"
        << "\t<keywords>\t</keywords>\n</song>\n";
  }
  out << "<songlist id=\"10\" name=\"Test Album\" activation=\"0\" lastplayed=\"-1\" "
         "playcount=\"0\" apb=\"off\"  duration=\"-1\"  ul=\"0\"  listtype=\"album\">\n"
      << "\t<trackcount val=\"" << songs.size() << "\"/>\n\t<tracks>\n";
  for (size_t i = 0; i < songs.size(); ++i)
    out << "\t\t<trackentry trackid=\"" << i + 1 << "\" id=\"" << 100 + i << "\"/>\n";
  out << "\t</tracks>\n\t<keywords>\t</keywords>\n</songlist>\n</nodes>\n<links>\n";
  for (size_t i = 0; i < songs.size(); ++i) {
    out << "\t<link to=\"" << 100 + i << "\" from=\"1\" strength=\"0.3\" lastvisited=\"0\" pc=\"0\"/>\n";
    out << "\t<link to=\"" << 100 + i << "\" from=\"10\" strength=\"0.2\" lastvisited=\"0\" pc=\"0\"/>\n";
  }
  out << "</links>\n</qornnet>\n";
}

// Runs the event loop until `done` holds or `ms` passed; the result of `done`.
inline bool waitFor(const std::function<bool()>& done, int ms = 10000) {
  return QTest::qWaitFor(done, ms);
}

}  // namespace apptest
