#include "AsfReader.h"

#include <sys/stat.h>

#include <taglib/asffile.h>
#include <taglib/tfilestream.h>

#include "TagLibText.h"
#include "zarvell/text.h"

namespace velmor {

struct AsfReader::Parts {
  explicit Parts(const char* path) : stream(path, /*openReadOnly=*/true), file(&stream) {}
  TagLib::FileStream stream;  // declared first: the file reads through it
  TagLib::ASF::File file;
};

AsfReader::AsfReader(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
AsfReader::AsfReader(AsfReader&&) noexcept = default;
AsfReader& AsfReader::operator=(AsfReader&&) noexcept = default;
AsfReader::~AsfReader() = default;

std::optional<AsfReader> AsfReader::open(const char* path) {
  // A FIFO or device would block the open or the reads.
  struct stat st {};
  if (!path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  auto parts = std::make_unique<Parts>(path);
  if (!parts->stream.isOpen() || !parts->file.isValid() || !parts->file.tag()) {
    return std::nullopt;
  }
  return AsfReader(std::move(parts));
}

namespace {

using orsank::utf8;

std::optional<std::string> nonEmpty(const TagLib::String& text) {
  if (text.isEmpty()) return std::nullopt;
  return utf8(text);
}

std::optional<std::string> attributeText(const TagLib::ASF::Attribute& attribute) {
  using Attribute = TagLib::ASF::Attribute;
  switch (attribute.type()) {
    case Attribute::UnicodeType:
      return utf8(attribute.toString());
    case Attribute::DWordType:
      return std::to_string(attribute.toUInt());
    case Attribute::QWordType:
      return std::to_string(attribute.toULongLong());
    case Attribute::WordType:
      return std::to_string(attribute.toUShort());
    case Attribute::BoolType:
    case Attribute::BytesType:
    case Attribute::GuidType:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> AsfReader::text(const std::string& name) const {
  const TagLib::ASF::Tag& tag = *parts_->file.tag();
  // TagLib keeps the content description's two fields apart from the attribute map.
  if (name == "Title") return nonEmpty(tag.title());
  if (name == "Author") return nonEmpty(tag.artist());
  const auto& attributes = tag.attributeListMap();
  const auto it = attributes.find(TagLib::String(name, TagLib::String::UTF8));
  if (it == attributes.end() || it->second.isEmpty()) return std::nullopt;
  return attributeText(it->second.front());
}

std::optional<std::uint64_t> AsfReader::duration100ns() const {
  // TagLib gives the play duration less the preroll, in milliseconds.
  const TagLib::ASF::Properties* properties = parts_->file.audioProperties();
  if (!properties || properties->lengthInMilliseconds() <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(properties->lengthInMilliseconds()) * 10'000u;
}

}  // namespace velmor
