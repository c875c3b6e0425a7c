// A small XML reader for the community server's replies. It handles the subset the server
// writes: elements, attributes with quoted or bare values, text, the five predefined
// entities, declarations, comments, CDATA, DOCTYPE and raw <PRE>/<Script> sections. Names
// are matched without regard to ASCII case; children and attributes keep document order.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sonalyx {

struct XmlNode {
  std::u16string name;  // empty for the document node
  std::u16string text;  // character data and CDATA, runs joined by one space
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  std::vector<XmlNode> children;

  // First child element of that name (ASCII case-insensitive), or null.
  const XmlNode* child(std::u16string_view childName) const;
  // Number of child elements of that name.
  std::size_t countChildren(std::u16string_view childName) const;
  // Value of the first attribute of that name (ASCII case-insensitive), or null.
  const std::u16string* attribute(std::u16string_view attributeName) const;
};

// Deepest element nesting accepted; deeper input is a parse error (bounds the recursion).
inline constexpr int kXmlMaxDepth = 64;

// Parses a whole document. Returns the document node, whose children are the top-level
// elements; on any parse error the returned tree is empty and `error` (when given) says
// why. An unknown entity reference also prints "unknown escape character: '&NAME'" on
// standard output and fails the parse. Reads nothing past the input; never throws beyond
// std::bad_alloc.
XmlNode parseXml(std::u16string_view input, std::string* error = nullptr);

// ASCII case-insensitive equality of two names.
bool sameName(std::u16string_view a, std::u16string_view b);

}  // namespace sonalyx
