#include "ExpatParser.h"

#include <expat.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "qorncore/datatypes/InputFile.h"

namespace qorn {

XmlAttributes::XmlAttributes(const char* const* pairs) : pairs_(pairs) {
  if (pairs_ != nullptr)
    while (pairs_[2 * size_] != nullptr) ++size_;
}

const char* XmlAttributes::find(std::string_view name) const {
  if (pairs_ == nullptr) return nullptr;
  for (std::size_t i = 0; pairs_[i] != nullptr; i += 2) {
    if (name == pairs_[i]) return pairs_[i + 1];
  }
  return nullptr;
}

std::string_view XmlAttributes::get(std::string_view name, std::string_view fallback) const {
  const char* value = find(name);
  return value != nullptr ? std::string_view(value) : fallback;
}

void XmlHandler::startElement(std::string_view, const XmlAttributes&) {}
void XmlHandler::endElement(std::string_view) {}
void XmlHandler::characterData(std::string_view) {}

// The C callbacks: forward to the handler and keep every exception inside this file.
struct ExpatParser::Callbacks {
  static ExpatParser& self(void* userData) { return *static_cast<ExpatParser*>(userData); }

  template <typename Fn>
  static void guarded(void* userData, Fn&& fn) {
    ExpatParser& p = self(userData);
    if (p.handlerFailed_ || p.stopRequested_) return;
    try {
      fn(*p.handler_);
    } catch (...) {
      p.handlerFailed_ = true;
      XML_StopParser(static_cast<XML_Parser>(p.parser_), XML_FALSE);
    }
  }

  static void start(void* userData, const XML_Char* name, const XML_Char** attributes) {
    guarded(userData, [&](XmlHandler& h) { h.startElement(name, XmlAttributes(attributes)); });
  }
  static void end(void* userData, const XML_Char* name) {
    guarded(userData, [&](XmlHandler& h) { h.endElement(name); });
  }
  static void text(void* userData, const XML_Char* s, int len) {
    guarded(userData, [&](XmlHandler& h) {
      h.characterData(std::string_view(s, len > 0 ? static_cast<std::size_t>(len) : 0));
    });
  }
};

ExpatParser::ExpatParser(XmlHandler& handler, const char* encoding)
    : handler_(&handler), encoding_(encoding) {
  parser_ = XML_ParserCreate(encoding_);
  install();
}

ExpatParser::~ExpatParser() {
  if (parser_ != nullptr) XML_ParserFree(static_cast<XML_Parser>(parser_));
}

ExpatParser::ExpatParser(ExpatParser&& other) noexcept
    : parser_(std::exchange(other.parser_, nullptr)),
      handler_(other.handler_),
      encoding_(other.encoding_),
      stopRequested_(other.stopRequested_),
      handlerFailed_(other.handlerFailed_) {
  if (parser_ != nullptr) XML_SetUserData(static_cast<XML_Parser>(parser_), this);
}

ExpatParser& ExpatParser::operator=(ExpatParser&& other) noexcept {
  if (this != &other) {
    if (parser_ != nullptr) XML_ParserFree(static_cast<XML_Parser>(parser_));
    parser_ = std::exchange(other.parser_, nullptr);
    handler_ = other.handler_;
    encoding_ = other.encoding_;
    stopRequested_ = other.stopRequested_;
    handlerFailed_ = other.handlerFailed_;
    if (parser_ != nullptr) XML_SetUserData(static_cast<XML_Parser>(parser_), this);
  }
  return *this;
}

void ExpatParser::install() {
  if (parser_ == nullptr) return;
  auto p = static_cast<XML_Parser>(parser_);
  XML_SetUserData(p, this);
  XML_SetElementHandler(p, &Callbacks::start, &Callbacks::end);
  XML_SetCharacterDataHandler(p, &Callbacks::text);
}

bool ExpatParser::reset() {
  stopRequested_ = false;
  handlerFailed_ = false;
  if (parser_ == nullptr) {
    parser_ = XML_ParserCreate(encoding_);
  } else if (XML_ParserReset(static_cast<XML_Parser>(parser_), encoding_) != XML_TRUE) {
    return false;
  }
  install();
  return parser_ != nullptr;
}

void ExpatParser::receiveText(bool on) {
  if (parser_ == nullptr) return;
  XML_SetCharacterDataHandler(static_cast<XML_Parser>(parser_), on ? &Callbacks::text : nullptr);
}

void ExpatParser::stop() {
  if (parser_ == nullptr || stopRequested_) return;
  stopRequested_ = true;
  XML_StopParser(static_cast<XML_Parser>(parser_), XML_FALSE);
}

XmlStatus ExpatParser::finish(int expatStatus) {
  if (handlerFailed_) return XmlStatus::HandlerFailed;
  if (stopRequested_) return XmlStatus::Stopped;
  return expatStatus == XML_STATUS_ERROR ? XmlStatus::ParseError : XmlStatus::Done;
}

XmlStatus ExpatParser::feed(const char* data, std::size_t size, bool last) {
  if (parser_ == nullptr) return XmlStatus::BufferFailed;
  if (handlerFailed_) return XmlStatus::HandlerFailed;
  if (stopRequested_) return XmlStatus::Stopped;
  auto p = static_cast<XML_Parser>(parser_);
  // expat takes an int length: hand over large inputs in slices.
  constexpr std::size_t kMaxSlice = 1u << 30;
  do {
    std::size_t slice = size < kMaxSlice ? size : kMaxSlice;
    bool final = last && slice == size;
    int status = XML_Parse(p, data, static_cast<int>(slice), final ? XML_TRUE : XML_FALSE);
    XmlStatus result = finish(status);
    if (result != XmlStatus::Done) return result;
    data += slice;
    size -= slice;
  } while (size > 0);
  return XmlStatus::Done;
}

char* ExpatParser::buffer(std::size_t size) {
  if (parser_ == nullptr || size > static_cast<std::size_t>(INT_MAX)) return nullptr;
  return static_cast<char*>(
      XML_GetBuffer(static_cast<XML_Parser>(parser_), static_cast<int>(size)));
}

XmlStatus ExpatParser::parseBuffer(std::size_t size, bool last) {
  if (parser_ == nullptr) return XmlStatus::BufferFailed;
  if (handlerFailed_) return XmlStatus::HandlerFailed;
  if (stopRequested_) return XmlStatus::Stopped;
  return finish(XML_ParseBuffer(static_cast<XML_Parser>(parser_), static_cast<int>(size),
                                last ? XML_TRUE : XML_FALSE));
}

XmlStatus ExpatParser::parseFile(const std::string& path) {
  if (parser_ == nullptr) return XmlStatus::BufferFailed;
  InputFile file;  // regular files only, and never a blocking open (a FIFO)
  if (!file.open(path)) return XmlStatus::OpenFailed;
  auto p = static_cast<XML_Parser>(parser_);
  XmlStatus result = XmlStatus::Done;
  for (;;) {
    void* buffer = XML_GetBuffer(p, static_cast<int>(kChunkSize));
    if (buffer == nullptr) {
      result = XmlStatus::BufferFailed;
      break;
    }
    const long got = file.read(static_cast<char*>(buffer), kChunkSize);
    if (got < 0) {
      result = XmlStatus::ReadFailed;
      break;
    }
    const bool last = got == 0;
    result = finish(XML_ParseBuffer(p, static_cast<int>(got), last ? XML_TRUE : XML_FALSE));
    if (result != XmlStatus::Done || last) break;
  }
  return result;
}

int ExpatParser::errorCode() const {
  return parser_ != nullptr ? static_cast<int>(XML_GetErrorCode(static_cast<XML_Parser>(parser_)))
                            : static_cast<int>(XML_ERROR_NO_MEMORY);
}

std::string ExpatParser::errorText() const {
  const XML_LChar* text = XML_ErrorString(static_cast<XML_Error>(errorCode()));
  return text != nullptr ? std::string(text) : std::string();
}

unsigned long ExpatParser::line() const {
  return parser_ != nullptr ? XML_GetCurrentLineNumber(static_cast<XML_Parser>(parser_)) : 0;
}

unsigned long ExpatParser::column() const {
  return parser_ != nullptr ? XML_GetCurrentColumnNumber(static_cast<XML_Parser>(parser_)) : 0;
}

}  // namespace qorn
