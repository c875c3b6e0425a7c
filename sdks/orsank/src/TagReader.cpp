#include "TagReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include "TagLibText.h"
#include "zarvell/text.h"

namespace orsank {
namespace {

bool isRegularFile(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool hasSuffixNoCase(std::string_view path, std::string_view lowerSuffix) {
  if (path.size() < lowerSuffix.size()) return false;
  const std::string_view tail = path.substr(path.size() - lowerSuffix.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] + 32) : tail[i];
    if (c != lowerSuffix[i]) return false;
  }
  return true;
}

// --- dates: the text of each format's date field -------------------------------------------

std::string id3v2Date(const TagLib::ID3v2::Tag* tag) {
  if (!tag) return std::string();
  const auto& frames = tag->frameListMap();
  const auto it = frames.find("TDRC");  // ID3v2.3 TYER is read into TDRC by TagLib
  if (it == frames.end() || it->second.isEmpty()) return std::string();
  return utf8(it->second.front()->toString());
}

std::string xiphDate(const TagLib::Ogg::XiphComment* comment) {
  if (!comment) return std::string();
  const auto& fields = comment->fieldListMap();
  auto it = fields.find("DATE");
  if (it == fields.end() || it->second.isEmpty()) it = fields.find("YEAR");
  if (it == fields.end() || it->second.isEmpty()) return std::string();
  return utf8(it->second.front());
}

std::string mp4Date(const TagLib::MP4::Tag* tag) {
  if (!tag || !tag->contains("\251day")) return std::string();
  const TagLib::StringList values = tag->item("\251day").toStringList();
  return values.isEmpty() ? std::string() : utf8(values.front());
}

std::string yearText(const TagLib::Tag* tag) {
  const unsigned int year = tag ? tag->year() : 0;
  return year ? std::to_string(year) : std::string();
}

// The date text of the file, from the field its format keeps it in; else TagLib's year.
std::string dateOf(TagLib::File* file, const TagLib::Tag* tag) {
  std::string date;
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
    date = id3v2Date(mpeg->hasID3v2Tag() ? mpeg->ID3v2Tag() : nullptr);
  } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
    date = mp4Date(mp4->tag());
  } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
    date = xiphDate(flac->hasXiphComment() ? flac->xiphComment() : nullptr);
    if (date.empty()) date = id3v2Date(flac->hasID3v2Tag() ? flac->ID3v2Tag() : nullptr);
  } else if (auto* comment = dynamic_cast<const TagLib::Ogg::XiphComment*>(tag)) {
    date = xiphDate(comment);  // every Ogg file's tag is its Xiph comment
  }
  return date.empty() ? yearText(tag) : date;
}

// --- WAV: RIFF INFO read by its bytes ---------------------------------------------------------

// A WAV file whose INFO list is read from its raw chunk: INFO declares no encoding, and
// TagLib decodes it as UTF-8 only, dropping a Windows-1252 text whole. Here a text is used
// as it stands when it is valid UTF-8 and read as Windows-1252 otherwise.
class WavFile : public TagLib::RIFF::WAV::File {
 public:
  using TagLib::RIFF::WAV::File::File;

  // The INFO text with the four-character id, or empty text.
  std::string infoText(std::string_view id) {
    if (!scanned_) scanInfo();
    for (const auto& [key, value] : info_) {
      if (key == id) return value;
    }
    return std::string();
  }

 private:
  void scanInfo() {
    scanned_ = true;
    for (unsigned int i = 0; i < chunkCount(); ++i) {
      if (chunkName(i) != "LIST") continue;
      const TagLib::ByteVector data = chunkData(i);
      if (!data.startsWith("INFO")) continue;
      parseInfoList(std::string_view(data.data(), data.size()).substr(4));
    }
  }

  // Sub-chunks: a four-character id, a 32-bit little-endian size, the text (zero-padded,
  // each sub-chunk aligned to an even size). A size running past the list ends it.
  void parseInfoList(std::string_view list) {
    while (list.size() >= 8) {
      const std::string_view id = list.substr(0, 4);
      const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(list[4 + k]); };
      const std::uint64_t size =
          byte(0) | (byte(1) << 8) | (byte(2) << 16) | (static_cast<std::uint64_t>(byte(3)) << 24);
      if (size > list.size() - 8) break;
      std::string_view text = list.substr(8, size);
      text = text.substr(0, text.find('\0'));
      info_.emplace_back(std::string(id), zarvell::toDisplayUtf8(text));
      list.remove_prefix(std::min<std::uint64_t>(list.size(), 8 + size + (size & 1)));
    }
  }

  bool scanned_ = false;
  std::vector<std::pair<std::string, std::string>> info_;
};

// Field by field: the ID3v2 chunk's value when it has one, else the INFO text.
void readWav(WavFile& wav, TagValues& values) {
  const TagLib::ID3v2::Tag* id3 = wav.hasID3v2Tag() ? wav.ID3v2Tag() : nullptr;
  const auto pick = [&](TagLib::String (TagLib::Tag::*field)() const, std::string_view id) {
    if (id3) {
      const TagLib::String text = (id3->*field)();
      if (!text.isEmpty()) return utf8(text);
    }
    return wav.infoText(id);
  };
  values.title = pick(&TagLib::Tag::title, "INAM");
  values.artist = pick(&TagLib::Tag::artist, "IART");
  values.album = pick(&TagLib::Tag::album, "IPRD");
  values.genre = pick(&TagLib::Tag::genre, "IGNR");
  values.date = id3v2Date(id3);
  if (values.date.empty()) values.date = wav.infoText("ICRD");
}

void readGeneric(TagLib::File* file, TagValues& values) {
  if (const TagLib::Tag* tag = file->tag()) {
    values.title = utf8(tag->title());
    values.artist = utf8(tag->artist());
    values.album = utf8(tag->album());
    values.genre = utf8(tag->genre());
    values.date = dateOf(file, tag);
  }
}

// The length in whole seconds; false when TagLib found no audio stream at all (TagLib
// accepts any bytes named ".mp3" as an MPEG file, and gives it no sample rate and no length).
bool readLength(const TagLib::AudioProperties* properties, TagValues& values) {
  if (!properties) return false;
  values.seconds = properties->lengthInSeconds();
  return properties->sampleRate() > 0 || properties->lengthInMilliseconds() > 0;
}

// A file with neither tags nor audio is one TagLib could not make sense of.
std::optional<TagValues> unlessEmpty(TagValues values, bool audio) {
  const bool tagged = !values.title.empty() || !values.album.empty() || !values.artist.empty() ||
                      !values.genre.empty() || !values.date.empty();
  if (!audio && !tagged) return std::nullopt;
  return values;
}

}  // namespace

std::optional<TagValues> readTags(const char* path) {
  // A FIFO or device would block the open or the reads; only regular files are tags' homes.
  if (!path || !isRegularFile(path)) return std::nullopt;
  TagLib::FileStream stream(path, /*openReadOnly=*/true);
  if (!stream.isOpen()) return std::nullopt;
  TagValues values;
  if (hasSuffixNoCase(path, ".wav")) {
    WavFile wav(&stream, true, TagLib::AudioProperties::Average);
    if (wav.isValid()) {
      readWav(wav, values);
      const bool audio = readLength(wav.audioProperties(), values);
      return unlessEmpty(std::move(values), audio);
    }
    stream.seek(0);  // not a RIFF WAV file after all: let TagLib find out what it is
  }
  const TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Average);
  if (ref.isNull()) return std::nullopt;
  readGeneric(ref.file(), values);
  const bool audio = readLength(ref.audioProperties(), values);
  return unlessEmpty(std::move(values), audio);
}

}  // namespace orsank
