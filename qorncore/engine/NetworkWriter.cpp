#include "NetworkWriter.h"

#include <charconv>
#include <cstring>
#include <exception>
#include <ostream>

#include "SafeFile.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/datatypes/NumberText.h"
#include "qorncore/datatypes/XmlText.h"

namespace qorn {
namespace {
constexpr const char* kSource = "qorncore/engine/Parser";

// Appends `piece` at p and returns the end (the caller sized the buffer).
char* putText(char* p, std::string_view piece) {
  std::memcpy(p, piece.data(), piece.size());
  return p + piece.size();
}

char* putNumber(char* p, int64_t value) {
  return std::to_chars(p, p + 24, value).ptr;
}

// Asks for the heap texts the writer reads from a node.
void prefetchTexts(const Node& node) {
  __builtin_prefetch(node.name.str().data());
  __builtin_prefetch(node.keywordTokens.data());
  if (const SongNode* song = node.asSong()) {
    __builtin_prefetch(song->md5.data());
    __builtin_prefetch(song->location.data());
  }
}

}  // namespace

NetworkWriter::NetworkWriter(NetworkSource& source, std::ostream& console)
    : source_(source), console_(console) {}

void NetworkWriter::putInt(int64_t value) {
  char text[24];
  out_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void NetworkWriter::putFloat(float value) {
  char text[kFloatTextSize];
  out_.append(text, formatFloatInto(text, value));
}

bool NetworkWriter::flushIfFull(const Output& output) {
  if (out_.size() < kChunk) return true;
  const bool taken = output(out_);
  out_.clear();
  if (out_.capacity() < kChunk) out_.reserve(kChunk + (kChunk >> 2));
  return taken;
}

void NetworkWriter::writeCommon(Node& node) {
  put("id=\"");
  putInt(node.id);
  put("\" name=\"");
  putFileText(node.name.str());
  put("\" activation=\"");
  putFloat(node.activation.value());
  put("\" lastplayed=\"");
  putInt(node.lastplayed.seconds());
  put("\" playcount=\"");
  putInt(node.playcount);
  put(node.apb ? "\" apb=\"on\" " : "\" apb=\"off\" ");
  put(" duration=\"");
  putInt(node.duration);
  put("\" ");
  put(node.ul ? " ul=\"1\" " : " ul=\"0\" ");
}

void NetworkWriter::writeKeywords(const Node& node) {
  put("\t<keywords>");
  keywords_.clear();
  source_.appendKeywords(node, keywords_);
  putFileText(keywords_);
  put("\t</keywords>\n");
}

void NetworkWriter::writePeople(const People& people) {
  if (people.empty()) return;
  put("\t<people>\n");
  auto person = [this](int32_t id, std::string_view role) {
    put("\t\t<person pid=\"");
    putInt(id);
    put("\" role=\"");
    appendXmlAttributeText(role, out_);
    put("\"/>\n");
  };
  for (const auto& [role, id] : people.otherRoles) person(id, role);
  for (int32_t id : people.artists) person(id, "artist");
  for (int32_t id : people.composers) person(id, "composer");
  put("\t</people>\n");
}

void NetworkWriter::writeSong(SongNode& song) {
  put("<song ");
  writeCommon(song);
  put(" md5=\"");
  appendXmlAttributeText(song.md5, out_);
  put("\">\n\t<media location=\"");
  putFileText(song.location);
  put("\"/>\n\t<onalbum aid=\"");
  putInt(song.albumId);
  put("\"/>\n");
  writePeople(song.people);
  put("\t<segment segid=\"1\" start=\"0\" end=\"end\" tempo=\"");
  putInt(song.tempo);
  put("\"/>\n");
  writeKeywords(song);
  put("</song>\n");
}

void NetworkWriter::writeSongList(SongListNode& list) {
  put("<songlist ");
  writeCommon(list);
  put(list.listType == kPlayList ? " listtype=\"playlist\">\n" : " listtype=\"album\">\n");
  put("\t<trackcount val=\"");
  putInt(list.trackCount);
  put("\"/>\n\t<tracks>\n");
  for (std::size_t n = 0; n < list.tracks.size(); ++n) {
    put("\t\t<trackentry trackid=\"");
    putInt(static_cast<int64_t>(n) + 1);
    put("\" id=\"");
    putInt(list.tracks[n]);
    put("\"/>\n");
  }
  put("\t</tracks>\n");
  writeKeywords(list);
  writePeople(list.people);
  put("</songlist>\n");
}

void NetworkWriter::writeNode(Node& node) {
  const std::size_t mark = out_.size();
  try {
    source_.decayNode(node);
    if (SongNode* song = node.asSong()) {
      writeSong(*song);
    } else if (SongListNode* list = node.asSongList()) {
      writeSongList(*list);
    } else if (node.asArtist()) {
      put("<artist ");
      writeCommon(node);
      put(">\n");
      writeKeywords(node);
      put("</artist>\n");
    }
  } catch (const std::exception& e) {
    out_.resize(mark);  // the node is skipped as a whole
    console_ << "Exception" << e.what() << "\n";
  }
}

void NetworkWriter::writeLink(Asc& link, int32_t firstId, int32_t secondId) {
  if (!link.from || !link.to) return;
  source_.decayLink(link);
  // One line of fixed parts and four numbers, built in place: a million of them make up
  // most of the file.
  char line[160];
  char* p = putText(line, "\t<link to=\"");
  p = putNumber(p, firstId);
  p = putText(p, "\" from=\"");
  p = putNumber(p, secondId);
  p = putText(p, "\" strength=\"");
  p = formatFloatInto(p, link.strength.value());
  p = putText(p, "\" lastvisited=\"0\" pc=\"");
  p = putNumber(p, source_.links().penalty(&link));
  p = putText(p, "\"/>\n");
  out_.append(line, p);
}

void NetworkWriter::writeLists() {
  put("<palette>\n");
  for (const Node* node : source_.kalvorets()) {
    if (!node) continue;
    put("\t<listentry id=\"");
    putInt(node->id);
    put("\" type=\"m\" />\n");
  }
  for (const Node* node : source_.palette()) {
    if (!node) continue;
    put("\t<listentry id=\"");
    putInt(node->id);
    put("\" type=\"s\" />\n");
  }
  put("</palette>\n<history>\n");
  for (const Node* node : source_.history()) {
    if (!node) continue;
    put("\t<listentry id=\"");
    putInt(node->id);  // plain digits: float formatting would turn 1000000 into 1e+06
    put("\"/>\n");
  }
  put("</history>\n<taboolist>\n");
  source_.forEachTaboo([this](int32_t expiry, const Node& node) {
    put("<listentry time =\"");
    putInt(expiry);
    put("\"  id=\"");
    putInt(node.id);
    put("\"/>\n");
  });
  put("</taboolist>\n <playqueue> \n");
  for (const Node* node : source_.playQueue()) {
    if (!node) continue;
    put("  <listentry id=\"");
    putInt(node->id);
    put("\"  /> \n");
  }
  put(" </playqueue> \n");
}

bool NetworkWriter::write(const Output& output) {
  try {
    out_.clear();
    out_.reserve(kChunk + (kChunk >> 2));
    put("<qornnet version=\"1.0\">\n<settings>\n\t<mediaroot path=\"");
    appendXmlAttributeText(source_.mediaRoot(), out_);
    put("\"/>\n</settings>\n<nodes>\n");
    // Nodes and their texts lie anywhere on the heap: fetch the node four ahead and the
    // texts of the node two ahead (by then in the cache), so the walk does not wait.
    const NodesById& byId = source_.nodes().byId();
    auto nearAhead = byId.begin();
    auto farAhead = byId.begin();
    for (int i = 0; i < 4 && farAhead != byId.end(); ++i, ++farAhead)
      if (i < 2) ++nearAhead;
    for (const auto& [id, node] : byId) {
      if (farAhead != byId.end()) __builtin_prefetch((*farAhead++).second);
      if (nearAhead != byId.end()) prefetchTexts(*(*nearAhead++).second);
      writeNode(*node);
      if (!flushIfFull(output)) return false;
    }
    put("</nodes>\n<links>\n");
    bool taken = true;
    // The walk hands over the pair's ids; which of them is the link's first end is told
    // by comparing pointers, so a million links need no reads of their nodes' memory.
    int32_t walked = 0;
    const Node* walkedNode = nullptr;
    source_.links().forEachLinkInPairOrder([&](Asc& link, int32_t a, int32_t b) {
      if (!taken) return;
      if (a != walked || !walkedNode) {
        walked = a;
        walkedNode = source_.nodes().find(a);
      }
      if (link.from == walkedNode)
        writeLink(link, a, b);
      else if (link.to == walkedNode)
        writeLink(link, b, a);
      else  // an end whose id another node holds: read the ids themselves
        writeLink(link, link.from ? link.from->id : 0, link.to ? link.to->id : 0);
      taken = flushIfFull(output);
    });
    if (!taken) return false;
    put("</links>\n");
    writeLists();
    put("</qornnet>\n");
    const bool last = output(out_);
    out_.clear();
    return last;
  } catch (const std::exception& e) {
    console_ << "Exception" << e.what() << "\n";
    out_.clear();
    return false;
  }
}

std::string NetworkWriter::toText(NetworkSource& source, std::ostream& console) {
  std::string all;
  NetworkWriter writer(source, console);
  writer.write([&all](std::string& piece) {
    all.append(piece);
    return true;
  });
  return all;
}

int saveNetwork(NetworkSource& source, const std::string& path, std::ostream& console) {
  console << "Saving net ... " << std::flush;
  SafeFile file;
  bool saved = file.open(path);
  if (saved) {
    NetworkWriter writer(source, console);
    saved = writer.write([&file](std::string& piece) { return file.take(piece); });
    saved = saved ? file.commit() : (file.abandon(), false);
  }
  if (!saved) {
    QORN_LOG(Error, kSource,
             "can't save network file " + path + ": " +
                 (file.errorText().empty() ? std::string("write failed") : file.errorText()));
    reportError(kErrorSaveNetwork);
    return 0;
  }
  console << "done." << std::endl;
  return 1;
}

}  // namespace qorn
