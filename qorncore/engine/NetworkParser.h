// NetworkParser: reads a network file into an engine in one pass over expat callbacks.
//
// A state machine: each start tag moves the state (the numbers below are the values the
// log lines print) and builds engine objects at once — nodes join the engine as their
// start tag arrives, links as their element is read, list entries as they end. Misplaced
// or unknown elements are logged or written to the console and skipped; ids that name no
// node are dropped. What was read before a parse error stays in the engine.
//
// Contract: one parser per load, single-threaded. load() never throws: every failure is a
// result of 0 with the lines described at load(). Log source "qorncore/engine/Parser".
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>

#include "Asc.h"
#include "Node.h"
#include "qorncore/datatypes/ExpatParser.h"

namespace qorn {

class InputFile;

// What the reader calls on the engine. Implemented over the manager by the engine's
// network file adapter; tests and the fuzz target may implement it over their own data.
class NetworkSink {
 public:
  virtual ~NetworkSink() = default;
  // Adds a node made by the reader (its id is between 1 and the 32-bit maximum). True
  // when the engine took it: it then owns the reference the node was created with.
  virtual bool addNode(Node* node) = 0;
  virtual Node* findNode(int32_t id) const = 0;
  // The kind (NodeKind) of the node findNode(id) gives, which must exist. A sink may keep
  // it beside its id table, so the reader's link caps need not read the node itself.
  virtual int kindOf(int32_t id) const { return findNode(id)->getType(); }
  virtual int32_t largestId() const = 0;
  // Stores a copy of the link (replacing any link between the same two nodes) and enters
  // the penalty counter when above 0. False when refused (an end is null or both ends are
  // the same node).
  // fromId and toId are the ends' ids.
  virtual bool addLink(const Asc& link, int32_t fromId, int32_t toId, int32_t penaltyCounter) = 0;
  // A hint that links of node `id` are about to be added: the sink may fetch what it will
  // look up for them into the cache. Nothing else changes.
  virtual void prefetchLinksOf(int32_t /*id*/) const {}
  // The links of one run of link elements arrive between beginLinks() and endLinks(), and
  // no other call but findNode, kindOf and prefetchLinksOf comes in between: a sink may
  // store them all at endLinks(), with the result addLink gives them one by one. endLinks
  // may throw std::bad_alloc.
  virtual void beginLinks() {}
  virtual void endLinks() {}
  // Adds the tokens of the text to the keywords of node `id`.
  virtual void addKeywords(int32_t id, const std::string& text) = 0;
  // Appends a song to the history as a played song, without learning.
  virtual void appendHistory(Node& song) = 0;
  // The node is taboo until `expiry` (seconds); nothing when that has passed.
  virtual void addTaboo(Node& node, int32_t expiry) = 0;
  // A palette entry: attributes "id" and "type" ("m" Kalvorets list, "s" palette list).
  virtual void addToPalette(const std::map<std::string, std::string>& attributes) = 0;
  // Appends the song with that id to the play queue (logs and ignores any other id).
  virtual void addToPlayQueue(int32_t id) = 0;
  virtual void setMediaRoot(const std::string& root) = 0;
};

class NetworkParser : public XmlHandler {
 public:
  // Reader states.
  enum State : int {
    kTop = 0,
    kSettings = 1,
    kMediaRoot = 2,
    kNodes = 3,
    kSong = 4,
    kSongPeople = 5,
    kOnAlbum = 6,
    kSongPerson = 7,
    kSongKeywords = 8,
    kMedia = 9,
    kSegment = 10,
    kSongList = 11,
    kSongListKeywords = 12,
    kSongListPeople = 13,
    kSongListPerson = 14,
    kTracks = 15,
    kTrackEntry = 16,
    kTrackCount = 17,
    kArtist = 18,
    kArtistKeywords = 19,
    kLinks = 20,
    kLink = 21,
    kOnTheGo = 22,
    kHistory = 24,
    kHistoryEntry = 25,
    kTabooList = 26,
    kTabooEntry = 27,
    kPalette = 28,
    kPaletteEntry = 29,
    kPlayQueue = 30,
    kPlayQueueEntry = 31
  };
  // A trackentry may leave at most this many empty slots before its position, and a list
  // holds at most its number of trackentry elements plus this many: a file naming track
  // 2,000,000,000, or a million entries each a gap further, must not make the reader
  // allocate gigabytes.
  static constexpr int kMaxTrackGap = 1024;

  // `console` receives the engine's console lines (unexpected tags, open failures).
  NetworkParser(NetworkSink& sink, std::ostream& console);

  // Reads the file. 1 on success; 0 for an empty path, a file that cannot be opened
  // (console line "error opening <path> (hit any key to continue)" and error report 6),
  // a read error ("Read error" on standard error) or a parse error ("Parse error at line
  // <n>:" and expat's text on standard error, two ERROR log lines). What was read before
  // a failure stays in the engine.
  // A directory, a FIFO or anything else but a regular file counts as a file that cannot
  // be opened (and never blocks).
  int load(const std::string& path);
  // Opens the file for load(file, path): false, with the console line and error report 6
  // of load(), when it cannot be opened. Lets a caller keep its network until it knows
  // the file can be read.
  bool open(const std::string& path, InputFile& file);
  // Reads a file open() opened (closing it); results as load(path).
  int load(InputFile& file, const std::string& path);
  // Parses a document held in memory (the fuzz target and tests); same results.
  int loadText(std::string_view text, const std::string& name);

  int state() const { return state_; }

  void startElement(std::string_view name, const XmlAttributes& attributes) override;
  void endElement(std::string_view name) override;
  // Text is only read inside keywords elements: the parser asks expat for it only while
  // one is open (see startElement), which spares a callback per line of the file.
  void characterData(std::string_view text) override { text_.append(text); }

 private:
  // Moves the state for a start tag; false when the attributes are not to be read.
  bool enter(std::string_view name, const XmlAttributes& attributes);
  void enterOther(std::string_view name);
  void readAttributes(const XmlAttributes& attributes);
  void addNodeFrom(std::string_view name, const XmlAttributes& attributes);
  // A link element is read at its start tag but stored when the next element arrives (or
  // the parse ends): its ends' table entries are fetched meanwhile, so the lookups of a
  // million links do not each wait for memory.
  struct PendingLink {
    int32_t fromId = 0;
    int32_t toId = 0;
    float strength = 0.0f;
    int32_t lastvisited = 0;
    int32_t penalty = 0;
  };
  void readLink(const XmlAttributes& attributes);
  void storePendingLink();
  // The pending link stored and the run of links ended; a status for an exception thrown
  // meanwhile (out of memory).
  XmlStatus storeLastLink(XmlStatus status);
  // Ends the run of links (see NetworkSink::beginLinks) before any element but a link.
  void endLinks();
  void endKeywords();
  void endPerson();
  void endTrackEntry();
  void endListEntry();
  bool endSimple(std::string_view name);
  int finish(XmlStatus status, ExpatParser& parser, const std::string& name,
             std::string_view chunk);
  void reset();
  unsigned long line() const;            // the line being parsed (0 outside a parse)
  void startParse(ExpatParser& parser);  // reset() and the text callbacks off

  NetworkSink& sink_;
  std::ostream& console_;
  std::string text_;  // character data since the last start tag
  int depth_ = 0;     // start tags seen
  Node* currentNode_ = nullptr;
  SongNode* currentSong_ = nullptr;
  SongListNode* currentList_ = nullptr;
  ArtistNode* currentArtist_ = nullptr;
  int pendingTrackNumber_ = -1;
  int32_t pendingTrackId_ = 0;
  int state_ = kTop;
  int32_t pendingPersonId_ = 0;
  std::string pendingRole_;
  int32_t pendingTabooId_ = 0;
  int32_t pendingTabooTime_ = 0;
  int listEntries_ = 0;   // trackentry elements read for the current list
  int openKeywords_ = 0;  // keywords elements open at this point of the document
  PendingLink pendingLink_;
  bool linkPending_ = false;
  bool linksOpen_ = false;  // between the sink's beginLinks and endLinks
  ExpatParser* expat_ = nullptr;  // the running parse
};

}  // namespace qorn
