#include "XmlNode.h"

#include <cstdio>
#include <optional>

#include "zarvell/text.h"

namespace sonalyx {
namespace {

char16_t lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

struct ParseError {
  std::string message;
};

// Recursive-descent reader over one input; every position check is against the input's end.
class Reader {
 public:
  explicit Reader(std::u16string_view input) : in_(input) {}

  void document(XmlNode& root) { content(root, 0, std::nullopt); }

 private:
  bool atEnd() const { return pos_ >= in_.size(); }
  bool startsWith(std::u16string_view token) const {
    return in_.size() - pos_ >= token.size() && sameName(in_.substr(pos_, token.size()), token);
  }
  void skipSpace() {
    while (!atEnd() && isSpace(in_[pos_])) ++pos_;
  }
  [[noreturn]] static void fail(std::string message) { throw ParseError{std::move(message)}; }

  // Finds `close` (case-insensitive) from the current position; returns the text before it
  // and moves past it.
  std::u16string_view until(std::u16string_view close, const char* what) {
    for (std::size_t i = pos_; in_.size() - i >= close.size(); ++i) {
      if (sameName(in_.substr(i, close.size()), close)) {
        const std::u16string_view body = in_.substr(pos_, i - pos_);
        pos_ = i + close.size();
        return body;
      }
    }
    fail(std::string("unterminated ") + what);
  }

  bool rawSection(XmlNode& parent) {
    struct Raw {
      std::u16string_view open, close, element;
      bool keepText;
    };
    static constexpr Raw kRaw[] = {{u"<![CDATA[", u"]]>", u"", true},
                                   {u"<PRE>", u"</PRE>", u"PRE", true},
                                   {u"<Script>", u"</Script>", u"Script", true},
                                   {u"<!--", u"-->", u"", false},
                                   {u"<!DOCTYPE", u">", u"", false}};
    for (const Raw& raw : kRaw) {
      if (!startsWith(raw.open)) continue;
      pos_ += raw.open.size();
      const std::u16string_view body = until(raw.close, "raw section");
      if (!raw.element.empty()) {
        XmlNode node;
        node.name = raw.element;
        node.text = body;
        parent.children.push_back(std::move(node));
      } else if (raw.keepText) {
        appendText(parent, std::u16string(body));
      }
      return true;
    }
    return false;
  }

  static void appendText(XmlNode& node, const std::u16string& text) {
    if (text.empty()) return;
    if (!node.text.empty()) node.text.push_back(u' ');
    node.text += text;
  }

  static bool endsWord(std::u16string_view in, std::size_t i) {
    const char16_t c = in[i];
    return isSpace(c) || c == u'<' || c == u'=' || c == u'>' ||
           (c == u'/' && i + 1 < in.size() && in[i + 1] == u'>');
  }

  std::u16string_view word() {
    const std::size_t start = pos_;
    while (!atEnd() && !endsWord(in_, pos_)) ++pos_;
    return in_.substr(start, pos_ - start);
  }

  std::u16string value() {
    if (!atEnd() && (in_[pos_] == u'"' || in_[pos_] == u'\'')) {
      const char16_t quote = in_[pos_++];
      const std::size_t start = pos_;
      while (!atEnd() && in_[pos_] != quote) ++pos_;
      if (atEnd()) fail("unterminated quoted value");
      const std::u16string_view body = in_.substr(start, pos_ - start);
      ++pos_;
      return decode(body);
    }
    return decode(word());
  }

  // Replaces the five predefined entities; any other reference is reported and fails.
  static std::u16string decode(std::u16string_view raw) {
    static constexpr std::pair<std::u16string_view, char16_t> kEntities[] = {
        {u"lt", u'<'}, {u"gt", u'>'}, {u"amp", u'&'}, {u"apos", u'\''}, {u"quot", u'"'}};
    std::u16string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != u'&') {
        out.push_back(raw[i]);
        continue;
      }
      std::size_t end = i + 1;
      while (end < raw.size() && raw[end] != u';' && end - (i + 1) < 10) ++end;
      const std::u16string_view name = raw.substr(i + 1, end - (i + 1));
      std::optional<char16_t> decoded;
      if (end < raw.size() && raw[end] == u';') {
        for (const auto& [entity, c] : kEntities)
          if (sameName(name, entity)) decoded = c;
      }
      if (!decoded) {
        std::printf("unknown escape character: '&%s'\n", zarvell::utf16ToUtf8(name).c_str());
        std::fflush(stdout);
        fail("unknown entity");
      }
      out.push_back(*decoded);
      i = end;
    }
    return out;
  }

  void element(XmlNode& parent, int depth) {
    if (depth >= kXmlMaxDepth) fail("elements nested too deeply");
    ++pos_;  // '<'
    XmlNode node;
    node.name = word();
    if (node.name.empty()) fail("element without a name");
    while (true) {
      skipSpace();
      if (atEnd()) fail("unterminated start tag");
      if (startsWith(u"/>")) {
        pos_ += 2;
        break;
      }
      if (in_[pos_] == u'>') {
        ++pos_;
        content(node, depth + 1, node.name);
        break;
      }
      std::u16string name(word());
      if (name.empty()) fail("attribute without a name");
      skipSpace();
      std::u16string attributeValue;
      if (!atEnd() && in_[pos_] == u'=') {
        ++pos_;
        skipSpace();
        attributeValue = value();
      }
      node.attributes.emplace_back(std::move(name), std::move(attributeValue));
    }
    parent.children.push_back(std::move(node));
  }

  void endTag(const std::optional<std::u16string>& open) {
    pos_ += 2;  // "</"
    const std::u16string_view name = word();
    skipSpace();
    if (atEnd() || in_[pos_] != u'>') fail("unterminated end tag");
    ++pos_;
    if (!open || !sameName(name, *open)) fail("end tag does not match");
  }

  // Reads children and text until the end tag of `open` (or the input's end at top level).
  void content(XmlNode& node, int depth, const std::optional<std::u16string>& open) {
    while (true) {
      skipSpace();
      if (atEnd()) {
        if (open) fail("unclosed element");
        return;
      }
      if (rawSection(node)) continue;
      if (startsWith(u"<?")) {
        pos_ += 2;
        until(u"?>", "declaration");
      } else if (startsWith(u"</")) {
        endTag(open);
        return;
      } else if (in_[pos_] == u'<') {
        element(node, depth);
      } else {
        const std::size_t start = pos_;
        while (!atEnd() && in_[pos_] != u'<') ++pos_;
        std::size_t end = pos_;
        while (end > start && isSpace(in_[end - 1])) --end;
        appendText(node, decode(in_.substr(start, end - start)));
      }
    }
  }

  std::u16string_view in_;
  std::size_t pos_ = 0;
};

}  // namespace

bool sameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

const XmlNode* XmlNode::child(std::u16string_view childName) const {
  for (const XmlNode& c : children)
    if (sameName(c.name, childName)) return &c;
  return nullptr;
}

std::size_t XmlNode::countChildren(std::u16string_view childName) const {
  std::size_t n = 0;
  for (const XmlNode& c : children)
    if (sameName(c.name, childName)) ++n;
  return n;
}

const std::u16string* XmlNode::attribute(std::u16string_view attributeName) const {
  for (const auto& [name, value] : attributes)
    if (sameName(name, attributeName)) return &value;
  return nullptr;
}

XmlNode parseXml(std::u16string_view input, std::string* error) {
  XmlNode root;
  try {
    Reader(input).document(root);
  } catch (const ParseError& e) {
    if (error) *error = e.message;
    return XmlNode{};
  }
  if (error) error->clear();
  return root;
}

}  // namespace sonalyx
