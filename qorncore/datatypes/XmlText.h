// XmlText: texts written as XML attribute values by the engine's file writers.
#pragma once

#include <string>
#include <string_view>

namespace qorn {

// Attribute text with XML character references for " & < > and tab, line feed and
// carriage return; other control bytes become spaces and bytes that are not valid UTF-8
// are read as Latin-1, so the result is always well-formed XML that expat reads back.
std::string xmlAttributeText(std::string_view text);
// The same, appended to `out` (no temporary text).
void appendXmlAttributeText(std::string_view text, std::string& out);

}  // namespace qorn
