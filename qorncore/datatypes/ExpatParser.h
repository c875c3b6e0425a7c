// The engine's one owner of an expat parser, shared by every XML reader (network file,
// features and normaliser files, iTunes library).
//
// A reader derives from XmlHandler and overrides the three callbacks it needs; an
// ExpatParser drives it from a file (parseFile) or from buffers (feed). Only
// ExpatParser.cpp includes expat.
//
// Contract:
// - Single-threaded: one parser is used by one thread at a time.
// - Nothing here throws. An exception thrown by a handler callback is caught inside the
//   wrapper (it never unwinds through expat's C frames); the parse then ends with
//   XmlStatus::HandlerFailed.
// - Texts handed to callbacks are UTF-8 as expat delivers them and are valid only during
//   the call.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorn {

// The attributes of one start tag, as expat hands them over: name/value pairs in document
// order. A borrowed view, valid only during startElement. The pairs are counted once, so a
// loop over an element's attributes is linear in their number.
class XmlAttributes {
 public:
  explicit XmlAttributes(const char* const* pairs);

  // Number of attributes.
  std::size_t size() const { return size_; }
  std::string_view name(std::size_t i) const { return pairs_[2 * i]; }
  std::string_view value(std::size_t i) const { return pairs_[2 * i + 1]; }
  // The same as NUL-terminated texts, for a reader that need not measure them.
  const char* nameText(std::size_t i) const { return pairs_[2 * i]; }
  const char* valueText(std::size_t i) const { return pairs_[2 * i + 1]; }
  // The value of the first attribute called `name`, or nullptr when there is none.
  const char* find(std::string_view name) const;
  // The value of `name`, or `fallback` when absent.
  std::string_view get(std::string_view name, std::string_view fallback = {}) const;

 private:
  const char* const* pairs_;
  std::size_t size_ = 0;
};

// Receives the document. The default implementations ignore everything.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void startElement(std::string_view name, const XmlAttributes& attributes);
  virtual void endElement(std::string_view name);
  // A piece of character data; one text node may arrive in several pieces.
  virtual void characterData(std::string_view text);
};

enum class XmlStatus {
  Done,           // the whole input was parsed
  Stopped,        // a handler called stop(); what was read so far counts
  OpenFailed,     // parseFile: the file cannot be opened
  ReadFailed,     // parseFile: a read from the file failed
  BufferFailed,   // expat could not provide a buffer (out of memory)
  ParseError,     // the input is not well-formed XML (errorText(), line(), column())
  HandlerFailed,  // a callback threw; the parse was abandoned
};

class ExpatParser {
 public:
  // Bytes per chunk read from a file.
  static constexpr std::size_t kChunkSize = 8192;

  // A parser that reports to `handler`, which must outlive it. `encoding` overrides the
  // document's declared encoding (nullptr: use the declaration, default UTF-8).
  explicit ExpatParser(XmlHandler& handler, const char* encoding = nullptr);
  ~ExpatParser();
  ExpatParser(ExpatParser&& other) noexcept;
  ExpatParser& operator=(ExpatParser&& other) noexcept;
  ExpatParser(const ExpatParser&) = delete;
  ExpatParser& operator=(const ExpatParser&) = delete;

  // False when expat could not create its parser (out of memory); every parse then fails
  // with BufferFailed.
  bool valid() const { return parser_ != nullptr; }

  // Reads the file in chunks of kChunkSize through expat's own buffers and parses it.
  // OpenFailed when `path` is missing, unreadable or not a regular file: a FIFO or a device
  // is refused at once, never waited on.
  XmlStatus parseFile(const std::string& path);

  // Reading straight into expat's own memory, without a copy: buffer() gives room for
  // `size` bytes (nullptr when expat has no memory), parseBuffer() parses the `size` bytes
  // placed there. The bytes stay readable until the next buffer() call.
  char* buffer(std::size_t size);
  XmlStatus parseBuffer(std::size_t size, bool last);

  // Parses one more piece of the document; `last` marks the final piece (may be empty).
  // After anything but Done the parser must be reset() before it is fed again.
  XmlStatus feed(const char* data, std::size_t size, bool last);

  // Called from inside a callback: ends the parse after the current callback returns. No
  // further callbacks arrive; the running parse returns Stopped.
  void stop();
  bool stopRequested() const { return stopRequested_; }

  // Turns the characterData callbacks on or off (on when the parser is made or reset). A
  // reader that wants text only inside a few elements skips a call per piece of text
  // elsewhere. May be called from inside a callback; it applies to the text after it.
  void receiveText(bool on);

  // Makes the parser ready for a new document (same handler and encoding).
  bool reset();

  // The failure of the last parse: expat's error code (0 for none), its text, and the
  // position (line from 1, column from 0) where it was found.
  int errorCode() const;
  std::string errorText() const;
  unsigned long line() const;
  unsigned long column() const;

 private:
  void install();
  XmlStatus finish(int expatStatus);

  struct Callbacks;         // the C trampolines (ExpatParser.cpp)
  void* parser_ = nullptr;  // XML_Parser
  XmlHandler* handler_;
  const char* encoding_;
  bool stopRequested_ = false;
  bool handlerFailed_ = false;
};

}  // namespace qorn
