#include "qorncore/manager/ITunesLibraryReader.h"

#include <algorithm>
#include <ostream>

#include "kalvoretengine/IQornManager.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/datatypes/InputFile.h"
#include "qorncore/datatypes/qornstring.h"
#include "zarvell/text.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/ITunesLibraryReader";
// Bytes read from the file per parse step.
constexpr std::size_t kReadSize = 64 * 1024;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Percent-decodes `text` to raw bytes, except "%00": a NUL byte would cut the path short
// where it crosses into a zero-terminated text, and could name another file.
std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (;;) {
    const std::size_t nul = text.find("%00", from);
    out += qornstring(text.substr(from, nul - from)).unescapeFromFile(true).str();
    if (nul == std::string_view::npos) return out;
    out += "%00";
    from = nul + 3;
  }
}

}  // namespace

ITunesLibraryReader::ITunesLibraryReader(IQornManagerCallback* callback, int stages,
                                         std::ostream& console)
    : callback_(callback), stages_(stages), console_(console) {}

ITunesLibraryReader::ITunesLibraryReader(IQornManagerCallback* callback, int stages)
    : ITunesLibraryReader(callback, stages, engineConsole()) {}

std::string ITunesLibraryReader::decodeLocation(std::string_view location) {
  // Longest prefix first: the network form keeps its two slashes, a local path its one.
  struct Prefix {
    std::string_view url, path;
  };
  static constexpr Prefix kPrefixes[] = {
      {"file://localhost//", "//"},
      {"file://localhost/", "/"},
      {"file:///", "/"},
      {"file://", "//"},  // file://server/share/... names a network path
  };
  for (const Prefix& p : kPrefixes) {
    if (startsWithNoCase(location, p.url))
      return std::string(p.path) + percentDecoded(location.substr(p.url.size()));
  }
  return percentDecoded(location);
}

void ITunesLibraryReader::reset() {
  items_.clear();
  tracksFound_ = playlistsFound_ = totalShown_ = 0;
  text_.clear();
  key_.clear();
  values_.clear();
  playlistTracks_.clear();
  byTrackId_.clear();
  depth_ = 0;
  state_ = kOutside;
  goOn_ = true;
  bytesRead_ = bytesTotal_ = 0;
}

void ITunesLibraryReader::startElement(std::string_view name, const XmlAttributes&) {
  if (name == "dict") {
    const int d = depth_;
    if (d == 1 && state_ == kOutside) {
      state_ = kTracks;
    } else if (d == 2 && state_ == kTracks) {
      state_ = kTrack;
      values_.clear();  // a track starts from nothing, whatever came before it
    } else if (state_ == kPlaylists) {
      state_ = kPlaylist;
      values_.clear();
      playlistTracks_.clear();
    }
    ++depth_;
  } else if (name == "key") {
    if (state_ == kTrack)
      state_ = kTrackKey;
    else if (state_ == kPlaylist)
      state_ = kPlaylistKey;
  } else if (name == "array") {
    if (state_ == kOutside)
      state_ = kPlaylists;
    else if (state_ == kPlaylist)
      state_ = kPlaylistItems;
  }
  text_.clear();
}

void ITunesLibraryReader::characterData(std::string_view text) {
  // Only keys and values inside a track or a playlist are ever looked at.
  if (state_ == kOutside || state_ == kTracks || state_ == kPlaylists) return;
  text_.append(text);
}

void ITunesLibraryReader::endElement(std::string_view name) {
  if (name == "dict") {
    endDict();
  } else if (name == "key") {
    key_ = text_;
    if (state_ == kTrackKey)
      state_ = kTrack;
    else if (state_ == kPlaylistKey)
      state_ = kPlaylist;
  } else if (name == "array") {
    if (state_ == kPlaylistItems)
      state_ = kPlaylist;
    else if (state_ == kPlaylists)
      state_ = kOutside;
  } else {
    endValue();
  }
}

void ITunesLibraryReader::endDict() {
  const int before = depth_;
  depth_ = std::max(depth_ - 1, 0);
  if (state_ == kTrack && depth_ == 2) {
    closeTrack();
  } else if (state_ == kPlaylist) {
    closePlaylist();
  } else if (state_ != kPlaylistItems && before < 4) {
    state_ = kOutside;
  }
}

void ITunesLibraryReader::endValue() {
  if (state_ == kTrack) {
    values_[key_] = key_ == "Location" ? decodeLocation(text_)
                                       : qornstring(text_).unescapeFromFile(false).str();
  } else if (state_ == kPlaylist) {
    values_[key_] = qornstring(text_).unescapeFromFile(false).str();
  } else if (state_ == kPlaylistItems) {
    auto it = byTrackId_.find(qornstring(text_).toInt());
    if (it != byTrackId_.end()) playlistTracks_.push_back(it->second);
  }
}

const std::string& ITunesLibraryReader::trackValue(const char* key) const {
  static const std::string kNone;
  auto it = values_.find(key);
  return it == values_.end() ? kNone : it->second;
}

SyncItemPtr ITunesLibraryReader::itemFromTrack() const {
  SyncItemPtr item = makeSyncItem();
  // The path keeps every byte (pathToUtf16 round-trips bytes that are not UTF-8); the
  // texts meant for display read such bytes as Windows-1252.
  item->path = newSyncText(zarvell::pathToUtf16(trackValue("Location")));
  item->name = newSyncText(zarvell::utf8ToUtf16(trackValue("Name")));
  item->artist = newSyncText(zarvell::utf8ToUtf16(trackValue("Artist")));
  item->album = newSyncText(zarvell::utf8ToUtf16(trackValue("Album")));
  item->genre = newSyncText(zarvell::utf8ToUtf16(trackValue("Genre")));
  item->year = qornstring(trackValue("Year")).toInt();
  item->duration = qornstring(trackValue("Total Time")).toInt() / 1000;  // ms to seconds
  item->valid = 1;
  return item;
}

void ITunesLibraryReader::closeTrack() {
  const std::string& name = trackValue("Name");
  console_ << "track " << name << "\n";
  items_.push_back(itemFromTrack());
  FESyncItem* item = items_.back().get();
  // A damaged file may repeat a track id: the later track answers to it; both stay
  // entries of the list, which alone owns them.
  if (values_.count("Track ID")) byTrackId_[qornstring(trackValue("Track ID")).toInt()] = item;
  ++tracksFound_;
  report(kTrackCaption, std::to_string(tracksFound_) + "  items found", percentRead(), 100);
  values_.clear();
  state_ = kTracks;
}

void ITunesLibraryReader::closePlaylist() {
  if (trackValue("Name") != "Library") {
    ++playlistsFound_;
    totalShown_ = tracksFound_ + playlistsFound_ + 1;
    const std::string found = std::to_string(totalShown_) + " items found";
    report(std::string(kCaption) + " " + found, found, 100, 100);
  }
  playlistTracks_.clear();
  values_.clear();
  state_ = kPlaylists;
}

int ITunesLibraryReader::percentRead() const {
  if (bytesTotal_ == 0) return 100;
  return static_cast<int>(std::min<std::uint64_t>(bytesRead_, bytesTotal_) * 100 / bytesTotal_);
}

bool ITunesLibraryReader::report(const std::string& caption, const std::string& detail, int current,
                                 int total) {
  if (!callback_ || !goOn_) return goOn_;
  ProgressInfo info{};
  info.stage = kStage;
  info.stages = stages_;
  info.current = current;
  info.total = total;
  info.flag = 0;
  info.caption = caption.c_str();
  info.detail = detail.c_str();
  info.detail2 = "";
  if (callback_->progress(&info)) return true;
  // A refusal at any point cancels the whole read, playlists included: the user asked
  // for the import to stop.
  goOn_ = false;
  if (expat_) expat_->stop();
  return false;
}

int ITunesLibraryReader::fail(const std::string& name, const std::string& why) {
  QORN_LOG(Error, kSource, "can't read iTunes library " + name + ": " + why);
  appendLogOutput("Can't read iTunes library " + name + ": " + why);
  items_.clear();
  byTrackId_.clear();
  playlistTracks_.clear();
  return 0;
}

int ITunesLibraryReader::finish(XmlStatus status, ExpatParser& parser, const std::string& name) {
  expat_ = nullptr;
  if (!goOn_ || status == XmlStatus::Stopped) {  // cancelled: nothing kept, nothing to tell
    QORN_LOG(Debug, kSource, "iTunes library read cancelled");
    items_.clear();
    byTrackId_.clear();
    playlistTracks_.clear();
    return 0;
  }
  switch (status) {
    case XmlStatus::Done:
      return 1;
    case XmlStatus::ParseError: {
      const std::string line = std::to_string(parser.line());
      console_ << "Parse error at line " << line << ":\n"
               << parser.errorText() << "\n"
               << std::flush;
      return fail(name, "parse error at line " + line + ": " + parser.errorText());
    }
    case XmlStatus::ReadFailed:
      return fail(name, "read error");
    case XmlStatus::OpenFailed:
      return fail(name, "cannot open the file");
    case XmlStatus::BufferFailed:
      return fail(name, "out of memory");
    default:  // a callback failed (out of memory, or the progress callback threw)
      return fail(name, "reading stopped by an error");
  }
}

template <typename Fill>
int ITunesLibraryReader::parse(const std::string& name, Fill&& fill) {
  ExpatParser parser(*this);
  expat_ = &parser;
  XmlStatus status = parser.valid() ? XmlStatus::Done : XmlStatus::BufferFailed;
  while (status == XmlStatus::Done) {
    char* into = parser.buffer(kReadSize);
    if (!into) {
      status = XmlStatus::BufferFailed;
      break;
    }
    const long got = fill(into, kReadSize);
    if (got < 0) {
      status = XmlStatus::ReadFailed;
      break;
    }
    bytesRead_ += static_cast<std::uint64_t>(got);
    const bool last = got == 0;
    status = parser.parseBuffer(static_cast<std::size_t>(got), last);
    if (last) break;
  }
  return finish(status, parser, name);
}

int ITunesLibraryReader::read(const std::string& path) {
  reset();
  InputFile file;  // regular files only, never a blocking open
  if (path.empty() || !file.open(path)) {
    console_ << "error opening " << path << "\n" << std::flush;
    return fail(path, path.empty() ? std::string("no file named") : file.errorText());
  }
  bytesTotal_ = file.size();
  return parse(path, [&](char* into, std::size_t capacity) -> long {
    std::size_t got = 0;
    while (got < capacity) {
      const long n = file.read(into + got, capacity - got);
      if (n < 0) return -1;
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
  });
}

int ITunesLibraryReader::readText(std::string_view text, const std::string& name,
                                  std::size_t pieceSize) {
  reset();
  bytesTotal_ = text.size();
  pieceSize = std::clamp<std::size_t>(pieceSize, 1, kReadSize);
  std::size_t at = 0;
  return parse(name, [&](char* into, std::size_t capacity) -> long {
    const std::size_t n = std::min({pieceSize, capacity, text.size() - at});
    std::copy_n(text.data() + at, n, into);
    at += n;
    return static_cast<long>(n);
  });
}

}  // namespace qorn
