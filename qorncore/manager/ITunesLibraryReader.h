// ITunesLibraryReader: turns the XML property list in which iTunes keeps its library into
// library entries (FESyncItem), one per track, for the import.
//
// A single-pass state machine over expat callbacks. It reads the track dictionaries (the
// dictionary under the top-level dictionary) into entries, and walks the playlists array
// only to count its playlists; playlists create nothing. Every track read writes
// "track NAME" to the engine console and reports progress ("Scanning iTunes.xml", the count
// followed by "  items found"); every playlist other than "Library" reports
// "Parsing iTunes library N items found". A false answer of the callback cancels the read.
//
// Locations: "file://localhost/" and "file:///" become "/", "file://localhost//server/..."
// and "file://server/..." become "//server/..."; the rest is percent-decoded to raw bytes
// (UTF-8 stays as it is; an escaped NUL byte stays "%00", as no path can hold it).
//
// Contract: one reader per read, single-threaded (the import's thread). read() never
// throws: every failure is a result of 0 (and the entries read so far are destroyed).
// Only regular files are read: a FIFO, a device or a folder is refused at once.
// Log source "qorncore/manager/ITunesLibraryReader".
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "qorncore/datatypes/ExpatParser.h"
#include "qorncore/manager/SyncItemList.h"

class IQornManagerCallback;

namespace qorn {

class ITunesLibraryReader : public XmlHandler {
 public:
  // Reader states.
  enum State : int {
    kOutside = 0,        // outside the tracks dictionary and the playlists array
    kTracks = 1,         // in the tracks dictionary, between tracks
    kTrack = 2,          // in one track dictionary
    kTrackKey = 3,       // reading a key of the track
    kPlaylists = 4,      // in the playlists array
    kPlaylist = 5,       // in one playlist dictionary
    kPlaylistKey = 6,    // reading a key of the playlist
    kPlaylistItems = 7,  // in the playlist's items array
  };
  static constexpr const char* kCaption = "Parsing iTunes library";
  static constexpr const char* kTrackCaption = "Scanning iTunes.xml";
  // Progress stage of the scan (the first code of every report).
  static constexpr int kStage = 1;

  // `callback` (may be null: never cancels) receives the progress, with `stages` as the
  // second code; `console` the "track NAME" lines and the parse error text.
  ITunesLibraryReader(IQornManagerCallback* callback, int stages, std::ostream& console);
  // The same, writing to the engine console.
  ITunesLibraryReader(IQornManagerCallback* callback, int stages);

  // Reads the library file. 1 when the whole file was read; 0 when it cannot be opened or
  // read, is not well-formed XML, or the callback cancelled: the entries are then empty.
  // Failures other than a cancel are logged at ERROR and added to the log output text.
  int read(const std::string& path);
  // Reads a document held in memory, fed to expat in pieces of `pieceSize` bytes (the fuzz
  // target and tests); results as read(), `name` standing for the path.
  int readText(std::string_view text, const std::string& name,
               std::size_t pieceSize = ExpatParser::kChunkSize);

  // The entries of the last read, in track order; the caller takes them over.
  std::vector<SyncItemPtr> takeItems() { return std::move(items_); }
  const std::vector<SyncItemPtr>& items() const { return items_; }
  int tracksFound() const { return tracksFound_; }
  int playlistsFound() const { return playlistsFound_; }
  int state() const { return state_; }
  // True once the callback refused to go on.
  bool cancelled() const { return !goOn_; }

  // A track's "Location" as the path of the entry (rules above).
  static std::string decodeLocation(std::string_view location);

  void startElement(std::string_view name, const XmlAttributes& attributes) override;
  void endElement(std::string_view name) override;
  void characterData(std::string_view text) override;

 private:
  void reset();
  void endDict();
  void endValue();
  void closeTrack();
  void closePlaylist();
  SyncItemPtr itemFromTrack() const;
  const std::string& trackValue(const char* key) const;
  // Reports progress; false (and the stop flag set) when the callback refuses.
  bool report(const std::string& caption, const std::string& detail, int current, int total);
  // Feeds expat from `fill` (read up to n bytes into a buffer; -1 on a read error) and
  // turns the outcome into the result.
  template <typename Fill>
  int parse(const std::string& name, Fill&& fill);
  int finish(XmlStatus status, ExpatParser& parser, const std::string& name);
  int fail(const std::string& name, const std::string& why);
  // Share of the input read so far, in percent.
  int percentRead() const;

  IQornManagerCallback* callback_;
  int stages_;
  std::ostream& console_;
  std::vector<SyncItemPtr> items_;
  int tracksFound_ = 0;
  int playlistsFound_ = 0;
  int totalShown_ = 0;
  std::string text_;  // character data since the last start tag (where it is needed)
  std::string key_;   // the last key read
  std::map<std::string, std::string> values_;           // the current track's or playlist's values
  std::vector<FESyncItem*> playlistTracks_;             // the current playlist's tracks (borrowed)
  std::unordered_map<int32_t, FESyncItem*> byTrackId_;  // borrowed from items_
  int depth_ = 0;                                       // dictionaries open
  int state_ = kOutside;
  bool goOn_ = true;
  std::uint64_t bytesRead_ = 0;
  std::uint64_t bytesTotal_ = 0;
  ExpatParser* expat_ = nullptr;  // the running parse
};

}  // namespace qorn
