#include "XmlText.h"

#include "zarvell/text.h"

namespace qorn {

std::string xmlAttributeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendXmlAttributeText(text, out);
  return out;
}

void appendXmlAttributeText(std::string_view text, std::string& out) {
  const auto special = [](unsigned char byte) {
    return byte >= 0x80 || byte < 0x20 || byte == '"' || byte == '&' || byte == '<' || byte == '>';
  };
  for (std::size_t i = 0; i < text.size();) {
    std::size_t plain = i;  // the run that is written as it is, copied in one piece
    while (plain < text.size() && !special(static_cast<unsigned char>(text[plain]))) ++plain;
    out.append(text.data() + i, plain - i);
    i = plain;
    if (i == text.size()) break;
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      const std::size_t length = zarvell::utf8SequenceLength(text, i);
      if (length > 0) {
        out.append(text.substr(i, length));
        i += length;
      } else {  // a byte outside any valid sequence: read as Latin-1
        out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        ++i;
      }
      continue;
    }
    switch (byte) {
      case '"':
        out += "&quot;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out.push_back(' ');  // other control bytes
    }
    ++i;
  }
}

}  // namespace qorn
