// Windows Media (ASF) attributes by name, through TagLib's ASF reader (the only file of
// Velmor that includes TagLib).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velmor {

// One open ASF file, read-only. Move-only; the file is closed when the reader goes.
class AsfReader {
 public:
  // Opens and parses the header of the regular file at `path` (UTF-8). Nothing when it is
  // not a regular file or not a readable ASF file. Throws only std::bad_alloc.
  static std::optional<AsfReader> open(const char* path);

  AsfReader(AsfReader&&) noexcept;
  AsfReader& operator=(AsfReader&&) noexcept;
  ~AsfReader();

  // The attribute's value as UTF-8 text; nothing when the file lacks it. Answers "Title"
  // and "Author" from the content description, "WM/..." names from the extended content
  // description and metadata objects (a numeric attribute is given as its decimal text).
  std::optional<std::string> text(const std::string& name) const;

  // "Duration": the play length in 100 ns units; nothing when it is not known.
  std::optional<std::uint64_t> duration100ns() const;

 private:
  struct Parts;
  explicit AsfReader(std::unique_ptr<Parts> parts);
  std::unique_ptr<Parts> parts_;
};

}  // namespace velmor
