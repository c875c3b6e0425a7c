// Shared pieces of the import tests: tagged audio files made by the ffmpeg tool, a program
// folder holding only some modules, library items as an iTunes reader would hand them
// over, and a progress callback that records every report and cancels where told.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "kalvoretengine/IQornManager.h"
#include "qorncore/manager/SyncItemList.h"
#include "qorncore/manager/qornManagerImport.h"
#include "zarvell/text.h"

namespace importtest {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zarvell-import-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = fs::canonical(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Sets an environment variable while it lives, restoring the old value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_.c_str(), old_.c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, old_;
  bool had_ = false;
};

// Tags of one generated file; empty values are left out.
struct Tags {
  std::string title, artist, album, genre, date;
};

// Encodes `seconds` of a sine at `hertz` into `path` (format from the extension) with the
// tags, by the ffmpeg command-line tool. MP3 files get an ID3v2.3 tag.
inline void makeAudio(const std::string& path, int hertz, int seconds, const Tags& tags) {
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -loglevel error -y -f lavfi -i \"aevalsrc=exprs='0.5*sin(2*PI*"
      << hertz << "*t)+0.2*sin(2*PI*" << hertz * 3 / 2 << "*t)':s=44100:d=" << seconds
      << "\" -ac 1 -map_metadata -1";
  auto tag = [&](const char* key, const std::string& value) {
    if (!value.empty()) cmd << " -metadata " << key << "='" << value << "'";
  };
  tag("title", tags.title);
  tag("artist", tags.artist);
  tag("album", tags.album);
  tag("genre", tags.genre);
  tag("date", tags.date);
  if (path.size() > 4 && path.substr(path.size() - 4) == ".mp3")
    cmd << " -c:a libmp3lame -b:a 64k -id3v2_version 3";
  cmd << " '" << path << "'";
  ASSERT_EQ(std::system(cmd.str().c_str()), 0) << cmd.str();
}

// Items as an iTunes library hands them to importFromMetaData; owned, freed at the end.
class Items {
 public:
  void add(const std::string& path, const std::string& name, const std::string& artist,
           const std::string& album, const std::string& genre = "", int duration = 0) {
    qorn::SyncItemPtr item = qorn::makeSyncItem();
    item->path = qorn::newSyncText(zarvell::pathToUtf16(path));
    item->name = qorn::newSyncText(zarvell::utf8ToUtf16(name));
    item->artist = qorn::newSyncText(zarvell::utf8ToUtf16(artist));
    item->album = qorn::newSyncText(zarvell::utf8ToUtf16(album));
    item->genre = qorn::newSyncText(zarvell::utf8ToUtf16(genre));
    item->duration = duration;
    item->valid = 1;
    pointers_.push_back(item.get());
    owned_.push_back(std::move(item));
  }
  const std::vector<FESyncItem*>& get() const { return pointers_; }

 private:
  std::vector<qorn::SyncItemPtr> owned_;
  std::vector<FESyncItem*> pointers_;
};

// One report as received (texts copied).
struct Report {
  int stage, stages, current, total;
  std::string caption, detail, detail2;
};

// Records every report; from the first report `cancelAt` accepts it answers false, and
// keeps answering false (as the player's import window does once Cancel was pressed).
class Recorder : public IQornManagerCallback {
 public:
  bool progress(ProgressInfo* info) override {
    Report r{info->stage,   info->stages, info->current, info->total,
             info->caption ? info->caption : "", info->detail ? info->detail : "",
             info->detail2 ? info->detail2 : ""};
    reports.push_back(r);
    if (cancelled) return false;
    if (cancelAt && cancelAt(r)) cancelled = true;
    return !cancelled;
  }
  int count(const std::string& caption) const {
    int n = 0;
    for (const Report& r : reports) n += r.caption == caption;
    return n;
  }
  std::vector<Report> reports;
  std::function<bool(const Report&)> cancelAt;
  bool cancelled = false;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

}  // namespace importtest
