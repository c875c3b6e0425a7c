#include "NetworkParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <memory>
#include <ostream>
#include <utility>

#include "AscHolder.h"
#include "AttributeText.h"
#include "qorncore/datatypes/InputFile.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/datatypes/NumberText.h"
#include "qorncore/datatypes/qornstring.h"

namespace qorn {
namespace {

using attributetext::is;

constexpr const char* kSource = "qorncore/engine/Parser";
// Bytes read from a file per parse call: a few system calls and parse calls per megabyte
// rather than a hundred, while the chunk a parse error logs stays readable.
constexpr std::size_t kReadSize = 64 * 1024;

// The leading number of an attribute value, 0 when there is none; read the same in every
// process locale (NumberText.h).
int32_t toInt(const char* value) {
  return attributetext::leadingInt(value);
}

// A number from the file that must be finite (NaN or infinity would break every ordering
// of activations and strengths): anything else reads as 0.
float toFiniteFloat(const char* value) {
  const float number = static_cast<float>(attributetext::leadingDouble(value));
  return std::isfinite(number) ? number : 0.0f;
}

std::string stateText(int state) {
  return std::to_string(state);
}

// A node id as the C conversion would read it (leading spaces and sign allowed), but in 64
// bits, so that an id beyond the 32-bit range is seen as such instead of wrapping round
// onto a real node's id. 0 when the text holds no number.
int64_t toNodeId(const char* text) {
  int64_t plain = 0;
  if (attributetext::plainInteger(text, plain)) return plain;
  const std::string_view value(text);
  std::size_t at = 0;
  while (at < value.size() && std::isspace(static_cast<unsigned char>(value[at]))) ++at;
  if (at < value.size() && value[at] == '+') ++at;
  int64_t id = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data() + at, end, id);
  if (ec == std::errc::result_out_of_range)
    return at < value.size() && value[at] == '-' ? std::numeric_limits<int64_t>::min()
                                                 : std::numeric_limits<int64_t>::max();
  return ec == std::errc() ? id : 0;
}

// The common attributes of every node element; the id goes to `id` (0 when absent).
void readNodeAttributes(Node& node, const XmlAttributes& attributes, int64_t& id) {
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    const char* key = attributes.nameText(i);
    const char* value = attributes.valueText(i);
    if (is(key, "id")) {
      id = toNodeId(value);
    } else if (is(key, "name")) {
      node.name = qornstring::decodeFileText(value);
    } else if (is(key, "activation")) {
      // Activations live in [0, 1]; a hand-edited file may say otherwise.
      const float a = toFiniteFloat(value);
      node.activation = qornfloat(a < 0.0f ? 0.0f : (a > 1.0f ? 1.0f : a));
    } else if (is(key, "lastplayed")) {
      node.lastplayed = qorndate(toInt(value));
    } else if (is(key, "playcount")) {
      node.playcount = toInt(value);
    } else if (is(key, "duration")) {
      node.duration = toInt(value);
    } else if (is(key, "apb")) {
      node.apb = is(value, "on");
    } else if (is(key, "ul")) {
      node.ul = is(value, "1");
    } else if (is(key, "md5") && node.asSong()) {
      node.md5 = std::string(value);
    } else if (is(key, "listtype") && node.asSongList()) {
      node.asSongList()->listType = is(value, "playlist") ? kPlayList : 2;
    }
  }
}

}  // namespace

NetworkParser::NetworkParser(NetworkSink& sink, std::ostream& console)
    : sink_(sink), console_(console) {}

void NetworkParser::reset() {
  text_.clear();
  depth_ = 0;
  currentNode_ = nullptr;
  currentSong_ = nullptr;
  currentList_ = nullptr;
  currentArtist_ = nullptr;
  pendingTrackNumber_ = -1;
  pendingTrackId_ = 0;
  state_ = kTop;
  pendingPersonId_ = 0;
  pendingRole_.clear();
  pendingTabooId_ = 0;
  pendingTabooTime_ = 0;
  listEntries_ = 0;
  openKeywords_ = 0;
  linkPending_ = false;
  linksOpen_ = false;
}

void NetworkParser::startParse(ExpatParser& parser) {
  reset();
  expat_ = &parser;
  parser.receiveText(false);
}

// ---- Start tags ---------------------------------------------------------------------------

void NetworkParser::startElement(std::string_view name, const XmlAttributes& attributes) {
  // Whatever element comes next, the link read before it is stored first, in file order;
  // any element but a link ends the run of links.
  if (linkPending_) storePendingLink();
  if (linksOpen_ && name != "link") endLinks();
  // Every piece of text a keywords end reads lies inside an open keywords element (text_
  // restarts at each start tag), so text is wanted exactly while one is open.
  if (name == "keywords" && openKeywords_++ == 0 && expat_) expat_->receiveText(true);
  if (enter(name, attributes)) readAttributes(attributes);
  text_.clear();
  ++depth_;
}

bool NetworkParser::enter(std::string_view name, const XmlAttributes& attributes) {
  if (state_ == kTop) {
    static constexpr std::pair<std::string_view, int> kSections[] = {
        {"links", kLinks},        {"nodes", kNodes},     {"onthego", kOnTheGo},
        {"palette", kPalette},    {"history", kHistory}, {"taboolist", kTabooList},
        {"playqueue", kPlayQueue}};
    for (const auto& [section, state] : kSections) {
      if (name == section) {
        state_ = state;
        return false;
      }
    }
  }
  if (name == "listentry") {
    switch (state_) {
      case kHistory:
        state_ = kHistoryEntry;
        break;
      case kTabooList:
        state_ = kTabooEntry;
        // An entry without id or time must not inherit the previous entry's.
        pendingTabooId_ = 0;
        pendingTabooTime_ = 0;
        break;
      case kPalette:
        state_ = kPaletteEntry;
        break;
      case kPlayQueue:
        state_ = kPlayQueueEntry;
        break;
      default:
        QORN_LOG(Warn, kSource, "unhandled listentry in parser state: " + stateText(state_));
    }
    return true;
  }
  if (name == "keywords") {
    switch (state_) {
      case kSong:
        state_ = kSongKeywords;
        break;
      case kSongList:
        state_ = kSongListKeywords;
        break;
      case kArtist:
        state_ = kArtistKeywords;
        break;
      default:
        QORN_LOG(Error, kSource, "unhandeld kw tag in state: " + stateText(state_));
    }
    return true;
  }
  if (state_ == kLinks && name == "link") {
    readLink(attributes);
    state_ = kLink;
    return false;
  }
  if (state_ == kNodes) {
    addNodeFrom(name, attributes);
    return true;
  }
  enterOther(name);
  return true;
}

void NetworkParser::enterOther(std::string_view name) {
  if (name == "trackcount" && state_ == kSongList) {
    state_ = kTrackCount;
  } else if (name == "settings") {
    state_ = kSettings;
  } else if (name == "mediaroot") {
    state_ = kMediaRoot;
  } else if (name == "trackentry") {
    state_ = kTrackEntry;
  } else if (name == "people") {
    if (state_ == kSong)
      state_ = kSongPeople;
    else if (state_ == kSongList)
      state_ = kSongListPeople;
    else
      QORN_LOG(Error, kSource, "unhandled people tag in state:" + stateText(state_));
  } else if (name == "person") {
    if (state_ == kSongPeople)
      state_ = kSongPerson;
    else if (state_ == kSongListPeople)
      state_ = kSongListPerson;
    else
      QORN_LOG(Error, kSource, "unhandled person  tag in state:" + stateText(state_));
  } else if (state_ == kSong) {
    if (name == "segment")
      state_ = kSegment;
    else if (name == "media")
      state_ = kMedia;
    else if (name == "onalbum")
      state_ = kOnAlbum;
    // any other element inside a song is ignored without a message
  } else if (name == "tracks" && state_ == kSongList) {
    state_ = kTracks;
    pendingTrackNumber_ = -1;
    pendingTrackId_ = 0;
  } else if (name == "qornnet") {
    state_ = kTop;
  } else {
    console_ << "Warning unexpected tag <" << name << ">" << std::endl;
  }
}

void NetworkParser::addNodeFrom(std::string_view name, const XmlAttributes& attributes) {
  std::unique_ptr<Node> made;
  SongNode* song = nullptr;
  SongListNode* list = nullptr;
  ArtistNode* artist = nullptr;
  int next = kNodes;
  if (name == "song") {
    made.reset(song = new SongNode());
    next = kSong;
  } else if (name == "songlist") {
    made.reset(list = new SongListNode());
    list->listType = 2;  // an album unless the file says "playlist"
    next = kSongList;
  } else if (name == "artist") {
    made.reset(artist = new ArtistNode());
    next = kArtist;
  } else {
    return;  // any other element in the nodes section is ignored without a message
  }
  int64_t id = 0;
  readNodeAttributes(*made, attributes, id);
  state_ = next;
  if (next == kSongList) listEntries_ = 0;
  if (id < 1 || id > std::numeric_limits<int32_t>::max()) {
    // The engine would give such a node the next free id, which may be the id of a node
    // further down the file, and that real node would then be dropped: refuse this one.
    QORN_LOG(Warn, kSource,
             "refused " + std::string(name) + " \"" + made->name.str() + "\" at line " +
                 std::to_string(line()) + ": id \"" + std::string(attributes.get("id")) +
                 "\" is not between 1 and " + std::to_string(std::numeric_limits<int32_t>::max()));
    return;
  }
  made->id = static_cast<int32_t>(id);
  Node* node = made.release();
  if (!sink_.addNode(node)) {
    node->release();
    return;
  }
  currentNode_ = node;
  currentSong_ = song ? song : currentSong_;
  currentList_ = list ? list : currentList_;
  currentArtist_ = artist ? artist : currentArtist_;
}

void NetworkParser::readLink(const XmlAttributes& attributes) {
  PendingLink link;
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    const char* key = attributes.nameText(i);
    const char* value = attributes.valueText(i);
    // One test of the first letter, then the whole name: a million links each have five.
    switch (key[0]) {
      case 'f':
        if (is(key, "from")) link.fromId = toInt(value);
        break;
      case 't':
        if (is(key, "to")) link.toId = toInt(value);
        break;
      case 's':
        if (is(key, "strength")) link.strength = toFiniteFloat(value);
        break;
      case 'l':
        // A step before the first one means nothing; the engine's decay subtracts it from
        // the step counter, which must not overflow.
        if (is(key, "lastvisited")) link.lastvisited = std::max(0, toInt(value));
        break;
      case 'p':
        if (is(key, "pc")) link.penalty = toInt(value);
        break;
      default:
        break;
    }
  }
  sink_.prefetchLinksOf(link.fromId);
  sink_.prefetchLinksOf(link.toId);
  pendingLink_ = link;
  linkPending_ = true;
}

void NetworkParser::storePendingLink() {
  linkPending_ = false;
  const PendingLink& pending = pendingLink_;
  Asc link;
  link.from = sink_.findNode(pending.fromId);
  link.to = sink_.findNode(pending.toId);
  link.lastvisited = pending.lastvisited;
  // Capped once both ends are known, so the caps of song-to-list and song-to-artist links
  // hold whatever the attribute order (stored in document order, a strength written before
  // the ends would stay uncapped and change at the next save and load).
  if (link.from && link.to) {
    link.strength = AscHolder::cappedStrength(
        qornfloat(pending.strength), sink_.kindOf(pending.fromId), sink_.kindOf(pending.toId));
  } else {
    AscHolder::setStrength(link, qornfloat(pending.strength));
    console_ << "Illegal assoc created!\n";
  }
  if (!linksOpen_) {
    sink_.beginLinks();
    linksOpen_ = true;
  }
  // A refused link is simply not stored.
  sink_.addLink(link, pending.fromId, pending.toId, pending.penalty);
}

void NetworkParser::endLinks() {
  linksOpen_ = false;
  sink_.endLinks();
}

XmlStatus NetworkParser::storeLastLink(XmlStatus status) {
  bool failed = false;
  try {
    if (linkPending_) storePendingLink();
  } catch (...) {
    failed = true;
  }
  // The run is ended whatever happened to the last link: the sink must not stay in it.
  try {
    if (linksOpen_) endLinks();
  } catch (...) {
    failed = true;
  }
  if (failed && status != XmlStatus::ParseError) return XmlStatus::HandlerFailed;
  return status;
}

void NetworkParser::readAttributes(const XmlAttributes& attributes) {
  if (state_ == kPaletteEntry) {
    std::map<std::string, std::string> all;
    for (std::size_t i = 0; i < attributes.size(); ++i)
      all.emplace(attributes.name(i), attributes.value(i));
    sink_.addToPalette(all);
    return;
  }
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    const char* key = attributes.nameText(i);
    const char* value = attributes.valueText(i);
    switch (state_) {
      case kMediaRoot:
        if (is(key, "path")) sink_.setMediaRoot(std::string(value));
        break;
      case kOnAlbum:
        if (is(key, "aid") && currentSong_) currentSong_->albumId = toInt(value);
        break;
      case kSongPerson:
      case kSongListPerson:
        if (is(key, "pid")) pendingPersonId_ = toInt(value);
        if (is(key, "role")) pendingRole_ = std::string(value);
        break;
      case kMedia:
        if (is(key, "location") && currentSong_)
          currentSong_->location = std::move(qornstring::decodeFileText(value).str());
        break;
      case kSegment:
        if (is(key, "tempo") && currentSong_) currentSong_->tempo = toInt(value);
        break;
      case kTrackEntry:
        if (is(key, "trackid")) pendingTrackNumber_ = toInt(value);
        if (is(key, "id")) pendingTrackId_ = toInt(value);
        break;
      case kTrackCount:
        if (is(key, "val") && currentList_) currentList_->trackCount = toInt(value);
        break;
      case kHistoryEntry:
        if (is(key, "id")) {
          Node* node = sink_.findNode(toInt(value));
          if (node && node->asSong()) sink_.appendHistory(*node);
        }
        break;
      case kTabooEntry:
        if (is(key, "id")) pendingTabooId_ = toInt(value);
        if (is(key, "time")) pendingTabooTime_ = toInt(value);
        break;
      case kPlayQueueEntry:
        if (is(key, "id")) sink_.addToPlayQueue(toInt(value));
        break;
      default:
        return;  // this state reads no attributes
    }
  }
}

// ---- End tags -----------------------------------------------------------------------------

void NetworkParser::endElement(std::string_view name) {
  if (name == "link") {  // the most frequent end tag (a large library has millions)
    state_ = kLinks;
    return;
  }
  if (linkPending_) storePendingLink();
  if (linksOpen_) endLinks();
  if (name == "keywords") {
    endKeywords();
    if (openKeywords_ > 0 && --openKeywords_ == 0 && expat_) expat_->receiveText(false);
    return;
  }
  if (endSimple(name)) return;
  if (name == "people") {
    if (state_ == kSongPeople)
      state_ = kSong;
    else if (state_ == kSongListPeople)
      state_ = kSongList;
    else
      QORN_LOG(Warn, kSource, "NetworkParser: unhandled /people tag in state:" + stateText(state_));
    return;
  }
  if (name == "person") return endPerson();
  if (name == "trackentry") return endTrackEntry();
  if (name == "listentry") return endListEntry();
  if (name == "qornnet") return;
  console_ << "Warning unexpected end of tag:< " << name << "'" << std::endl;
}

// The end tags that only move the state (and drop the current node); false for others.
bool NetworkParser::endSimple(std::string_view name) {
  if (name == "segment" || name == "media" || name == "onalbum") {
    state_ = kSong;
  } else if (name == "trackcount" || name == "tracks") {
    state_ = kSongList;
  } else if (name == "songlist" || name == "album") {  // "album": the older name
    state_ = kNodes;
    currentList_ = nullptr;
    currentNode_ = nullptr;
  } else if (name == "song") {
    state_ = kNodes;
    currentSong_ = nullptr;
    currentNode_ = nullptr;
  } else if (name == "artist") {
    state_ = kNodes;
    currentArtist_ = nullptr;
    currentNode_ = nullptr;
  } else if (name == "mediaroot") {
    state_ = kSettings;
  } else if (name == "nodes" || name == "settings" || name == "links" || name == "onthego" ||
             name == "palette" || name == "history" || name == "taboolist" || name == "playqueue") {
    state_ = kTop;
  } else {
    return false;
  }
  return true;
}

void NetworkParser::endKeywords() {
  if (!currentNode_) {
    QORN_LOG(Warn, kSource, "NetworkParser: keyword tag outside of node");
    return;
  }
  switch (state_) {
    case kSongKeywords:
      state_ = kSong;
      break;
    case kSongListKeywords:
      state_ = kSongList;
      break;
    case kArtistKeywords:
      state_ = kArtist;
      break;
    default:
      QORN_LOG(Warn, kSource,
               "NetworkParser: keyword tag outside of node in state: " + stateText(state_));
  }
  // Control bytes read as the spaces the writer would make of them: a token holding one
  // could not be saved as it is.
  std::string keywords = std::move(qornstring::decodeFileText(text_).str());
  for (char& c : keywords)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  sink_.addKeywords(currentNode_->id, keywords);
}

void NetworkParser::endPerson() {
  if (state_ == kSongPerson) {
    state_ = kSongPeople;
    if (currentSong_) currentSong_->people.addPerson(pendingPersonId_, pendingRole_);
  } else if (state_ == kSongListPerson) {
    state_ = kSongListPeople;
    if (currentList_) currentList_->people.addPerson(pendingPersonId_, pendingRole_);
  } else {
    QORN_LOG(Warn, kSource, "NetworkParser: unhandled /person tag in state:" + stateText(state_));
  }
  pendingPersonId_ = 0;
  pendingRole_.clear();
}

void NetworkParser::endTrackEntry() {
  state_ = kTracks;
  if (currentList_ && pendingTrackId_ > 0) {
    ++listEntries_;
    // A number below 1 (0, or no trackid right after "tracks") appends the track.
    const int number = pendingTrackNumber_ < 1 ? 0 : pendingTrackNumber_;
    const long gap = static_cast<long>(number) - static_cast<long>(currentList_->tracks.size());
    // Each entry may leave a gap, but the list never grows beyond its entries plus one
    // gap: the memory a list takes stays in proportion to the file's size.
    if (gap > kMaxTrackGap || number > listEntries_ + kMaxTrackGap) {
      QORN_LOG(Warn, kSource,
               "skipped trackentry " + std::to_string(number) + " of " + currentList_->name.str());
    } else {
      currentList_->setTrack(number, pendingTrackId_);
    }
  }
  pendingTrackNumber_ = 0;
  pendingTrackId_ = 0;
}

void NetworkParser::endListEntry() {
  switch (state_) {
    case kHistoryEntry:
      state_ = kHistory;
      break;
    case kTabooEntry:
      state_ = kTabooList;
      if (Node* node = sink_.findNode(pendingTabooId_)) sink_.addTaboo(*node, pendingTabooTime_);
      break;
    case kPaletteEntry:
      state_ = kPalette;
      break;
    case kPlayQueueEntry:
      state_ = kPlayQueue;
      break;
    default:
      QORN_LOG(Error, kSource, "unhandled /listentry tag in state: " + stateText(state_));
  }
}

// ---- Reading ------------------------------------------------------------------------------

int NetworkParser::finish(XmlStatus status, ExpatParser& parser, const std::string& name,
                          std::string_view chunk) {
  if (currentSong_ || currentList_ || currentArtist_ || currentNode_)
    QORN_LOG(Debug, kSource, "not handled end element tag!");
  switch (status) {
    case XmlStatus::Done:
    case XmlStatus::Stopped:
      return 1;
    case XmlStatus::ParseError: {
      const unsigned long line = parser.line();
      console_ << "Parse error at line " << line << ":\n" << parser.errorText() << "\n" << std::flush;
      QORN_LOG(
          Error, kSource,
          "Parse error in " + name + " at line " + std::to_string(line) + " " + parser.errorText());
      QORN_LOG(Error, kSource, std::string(chunk));
      return 0;
    }
    case XmlStatus::ReadFailed:
      console_ << "Read error\n" << std::flush;
      return 0;
    default:  // out of memory in expat or in a handler
      console_ << "Parse error: out of memory\n" << std::flush;
      QORN_LOG(Error, kSource, "Parse error in " + name + ": out of memory");
      return 0;
  }
}

bool NetworkParser::open(const std::string& path, InputFile& file) {
  if (!path.empty() && file.open(path)) return true;
  console_ << "error opening " << path << " (hit any key to continue)\n" << std::flush;
  reportError(kErrorOpenNetwork);
  return false;
}

int NetworkParser::load(const std::string& path) {
  if (path.empty()) {
    reset();
    return 0;
  }
  InputFile file;
  if (!open(path, file)) {
    reset();
    return 0;
  }
  return load(file, path);
}

int NetworkParser::load(InputFile& file, const std::string& path) {
  ExpatParser parser(*this);
  startParse(parser);
  XmlStatus status = parser.valid() ? XmlStatus::Done : XmlStatus::BufferFailed;
  std::string_view chunk;
  while (status == XmlStatus::Done) {
    // Read straight into expat's buffer: no copy of the file's bytes.
    char* into = parser.buffer(kReadSize);
    if (!into) {
      status = XmlStatus::BufferFailed;
      break;
    }
    std::size_t got = 0;
    long n = 1;
    while (got < kReadSize && n > 0) {
      n = file.read(into + got, kReadSize - got);
      if (n > 0) got += static_cast<std::size_t>(n);
    }
    if (n < 0) {
      status = XmlStatus::ReadFailed;
      break;
    }
    chunk = std::string_view(into, got);
    const bool last = got < kReadSize;
    status = parser.parseBuffer(got, last);
    if (last) break;
  }
  file.close();
  status = storeLastLink(status);
  const int result = finish(status, parser, path, chunk);
  expat_ = nullptr;
  return result;
}

int NetworkParser::loadText(std::string_view text, const std::string& name) {
  ExpatParser parser(*this);
  startParse(parser);
  XmlStatus status = parser.valid() ? XmlStatus::Done : XmlStatus::BufferFailed;
  std::size_t at = 0;
  std::string_view chunk;
  while (status == XmlStatus::Done) {
    chunk = text.substr(at, ExpatParser::kChunkSize);
    at += chunk.size();
    const bool last = at >= text.size();
    status = parser.feed(chunk.data(), chunk.size(), last);
    if (last) break;
  }
  status = storeLastLink(status);
  const int result = finish(status, parser, name, chunk);
  expat_ = nullptr;
  return result;
}

unsigned long NetworkParser::line() const {
  return expat_ ? expat_->line() : 0;
}

}  // namespace qorn
