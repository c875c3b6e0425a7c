// The multipart form body that carries a community packet.
#pragma once

#include <string>
#include <vector>

namespace sonalyx {

// Boundary of every community request body (also named in its Content-Type header).
inline constexpr const char* kMultipartBoundary = "--MULTI-PARTS-FORM-DATA-BOUNDARY";
// File name announced for every part.
inline constexpr const char* kPartFileName = "packet.xml";

// One form field: a narrow name and a UTF-16 value sent as raw UTF-16LE bytes.
struct FormPart {
  std::string name;
  std::u16string value;
};

// The body bytes: per part a header line block, the value's UTF-16LE bytes (no byte-order
// mark, no terminator) and CR LF; then the closing boundary line. Never throws beyond
// std::bad_alloc.
std::string multipartBody(const std::vector<FormPart>& parts);

}  // namespace sonalyx
