// Helpers for the iTunes library tests: library documents built from small pieces, a
// progress callback that records every report and can refuse one, and a scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "kalvoretengine/IQornManager.h"
#include "scratch_dir.h"
#include "zarvell/text.h"

namespace itunestest {

// One key and its value element of a dictionary, e.g. {"Name", "<string>A</string>"}.
using Entry = std::pair<std::string, std::string>;

inline std::string str(const std::string& text) {
  return "<string>" + text + "</string>";
}
inline std::string integer(long long n) {
  return "<integer>" + std::to_string(n) + "</integer>";
}

inline std::string dict(std::initializer_list<Entry> entries) {
  std::string out = "<dict>\n";
  for (const auto& [key, value] : entries) out += "\t<key>" + key + "</key>" + value + "\n";
  return out + "</dict>\n";
}

// A track dictionary under its id key, as iTunes writes it.
inline std::string track(int id, std::initializer_list<Entry> entries) {
  std::string out =
      "<key>" + std::to_string(id) + "</key>\n<dict>\n\t<key>Track ID</key>" + integer(id) + "\n";
  for (const auto& [key, value] : entries) out += "\t<key>" + key + "</key>" + value + "\n";
  return out + "</dict>\n";
}

// A playlist dictionary listing the tracks by id.
inline std::string playlist(const std::string& name, std::initializer_list<int> ids) {
  std::string out = "<dict>\n\t<key>Name</key>" + str(name) +
                    "\n\t<key>Playlist ID</key><integer>77</integer>\n"
                    "\t<key>Playlist Items</key>\n\t<array>\n";
  for (int id : ids) out += "\t\t" + dict({{"Track ID", integer(id)}});
  return out + "\t</array>\n</dict>\n";
}

// A whole library: the top-level keys iTunes writes, the tracks, the playlists.
inline std::string library(const std::string& tracks, const std::string& playlists) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n"
         "\t<key>Major Version</key><integer>1</integer>\n"
         "\t<key>Application Version</key><string>7.0</string>\n"
         "\t<key>Music Folder</key><string>file://localhost/C:/Music/</string>\n"
         "\t<key>Tracks</key>\n<dict>\n" +
         tracks + "</dict>\n\t<key>Playlists</key>\n<array>\n" + playlists +
         "</array>\n</dict>\n</plist>\n";
}

// One report as the callback saw it.
struct Report {
  int stage, stages, current, total;
  std::string caption, detail, detail2;
};

// Records every report; answers false to report number `refuseAt` (counted from 1; 0:
// never refuses).
class ProgressLog : public IQornManagerCallback {
 public:
  explicit ProgressLog(int refuseAt = 0) : refuseAt_(refuseAt) {}
  bool progress(ProgressInfo* info) override {
    reports.push_back({info->stage, info->stages, info->current, info->total,
                       info->caption ? info->caption : "(null)",
                       info->detail ? info->detail : "(null)",
                       info->detail2 ? info->detail2 : "(null)"});
    return static_cast<int>(reports.size()) != refuseAt_;
  }
  std::vector<Report> reports;

 private:
  int refuseAt_;
};

// A fresh folder under the system temp folder, removed with everything in it.
class TempDir : public zarvelltest::ScratchDir {
 public:
  TempDir() : ScratchDir("zarvell-itunes") {}
  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary | std::ios::trunc) << bytes;
    return file(name);
  }
};

// A UTF-16 text of an entry as UTF-8 ("(null)" for a null pointer).
inline std::string utf8(const char16_t* text) {
  return text ? zarvell::utf16ToUtf8(text) : "(null)";
}
// A path of an entry as the bytes it stands for.
inline std::string pathBytes(const char16_t* text) {
  return text ? zarvell::utf16ToPath(text) : "(null)";
}

}  // namespace itunestest
