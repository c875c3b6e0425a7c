// NetworkWriter: writes a whole network as the network file's exact text.
//
// The text, section by section: root start, settings (media root), nodes in ascending id
// order, links (each once, in pair order), palette, history, taboo list, play queue, root
// end. Node names, media locations and keywords are file-escaped (qornstring
// escapeForFile); the media root, person roles and md5 texts are written with XML
// character references (&quot; &amp; &lt; &gt;), so any stored text reads back as it was.
//
// Before a node or link is written it is decayed to the current step; the file always
// holds lastvisited "0". The in-memory decay marks and penalty counters stay as they are,
// so saving in the middle of a session changes nothing the engine computes afterwards.
//
// Contract: single-threaded; write() returns false when the output refused bytes and
// never throws (a failure while one node is formatted skips that node with a console
// line "Exception<what>").
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "AscHolder.h"
#include "NodeHolder.h"
#include "qorncore/datatypes/NumberText.h"  // formatFloat: the file's float text
#include "qorncore/datatypes/qornfloat.h"
#include "qorncore/datatypes/qornstring.h"

namespace qorn {

// What the writer reads from the engine. Implemented over the manager by the engine's
// network file adapter; tests may implement it over their own data.
class NetworkSource {
 public:
  virtual ~NetworkSource() = default;
  virtual std::string mediaRoot() const = 0;
  virtual const NodeHolder& nodes() const = 0;
  virtual const AscHolder& links() const = 0;
  // The node's activation / the link's strength brought up to the current step.
  virtual qornfloat decayNode(Node& node) = 0;
  virtual qornfloat decayLink(Asc& link) = 0;
  // Appends the node's keyword tokens joined by ", " (nothing without keywords).
  virtual void appendKeywords(const Node& node, std::string& out) const = 0;
  virtual std::vector<Node*> kalvorets() const = 0;  // palette entries of type "m"
  virtual std::vector<Node*> palette() const = 0;    // palette entries of type "s"
  virtual std::vector<Node*> history() const = 0;    // oldest first
  // Every taboo entry still in force, in expiry order: fn(expiry seconds, node).
  virtual void forEachTaboo(const std::function<void(int32_t, const Node&)>& fn) = 0;
  virtual std::vector<Node*> playQueue() const = 0;
};

// Saves the network to `path` through SafeFile: "Saving net ... " on the console, the
// text into a temporary file beside the target, which then replaces the target (the old
// file kept as "<path>.bak"), and "done." with a line end. 1 on success; 0 with error
// report 5 and an ERROR log line when any step fails, the old file then untouched.
int saveNetwork(NetworkSource& source, const std::string& path, std::ostream& console);

class NetworkWriter {
 public:
  // Receives the text in pieces; false stops the writer. The output may take the piece's
  // buffer (leaving the string empty); whatever it leaves is discarded.
  using Output = std::function<bool(std::string&)>;
  // Bytes collected before each hand-over to the output.
  static constexpr std::size_t kChunk = 1 << 20;

  NetworkWriter(NetworkSource& source, std::ostream& console);

  // Writes the whole file. False when the output failed.
  bool write(const Output& output);

  // The whole file as one text (tests and tools).
  static std::string toText(NetworkSource& source, std::ostream& console);

 private:
  bool flushIfFull(const Output& output);
  void writeNode(Node& node);
  void writeCommon(Node& node);
  void writeSong(SongNode& song);
  void writeSongList(SongListNode& list);
  void writeKeywords(const Node& node);
  void writePeople(const People& people);
  void writeLink(Asc& link, int32_t firstId, int32_t secondId);  // ids of from and to
  void writeLists();
  void put(std::string_view text) { out_.append(text); }
  void putInt(int64_t value);
  void putFloat(float value);
  void putFileText(std::string_view text) { qornstring::appendForFile(text, out_); }

  NetworkSource& source_;
  std::ostream& console_;
  std::string out_;
  std::string keywords_;  // scratch for one node's keyword text
};

}  // namespace qorn
