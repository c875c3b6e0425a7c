#include "Outward.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "zarvell/deployment.h"

namespace zarvell::app {
namespace fs = std::filesystem;

StoreAddresses StoreAddresses::fromDeployment() {
  return {iTunesStoreSearchAddress(), msnMusicSearchAddress()};
}

std::vector<PurchaseStore> purchaseStoreList() {
  return {{"iTunes", "Apple &iTunes"}, {"MSN", "&MSN Music"}};
}

std::string encodeTerm(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '&' || c == ' ') {
      out += "%20";
    } else if (byte > 127) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

namespace {
struct Keys {
  const char* song;
  const char* album;
  const char* artist;
};

std::string query(const LinkTerms& terms, const Keys& keys) {
  const bool noArtist = terms.artist.empty() || terms.artist == "(Various Artists)" ||
                        terms.artist == "(Unknown Artist)";
  const bool noAlbum = terms.album.empty() || terms.album == "(Unknown Album)";
  const std::string artist = noArtist ? "" : encodeTerm(terms.artist);
  const std::string album = noAlbum ? "" : encodeTerm(terms.album);
  const std::string name = encodeTerm(terms.name);
  if (terms.type == 2)
    return keys.album + name + (artist.empty() ? "" : "&" + (keys.artist + artist));
  if (terms.type == 4) return keys.artist + name;
  std::string q = keys.song + name;
  if (!album.empty()) q += "&" + (keys.album + album);
  if (!artist.empty()) q += "&" + (keys.artist + artist);
  return q;
}
}  // namespace

std::string purchaseLinkFor(const std::string& storeKey, const LinkTerms& terms,
                            const StoreAddresses& stores) {
  if (storeKey == "iTunes")
    return stores.itunes + query(terms, {"songTerm=", "albumTerm=", "artistTerm="});
  if (storeKey == "MSN") {
    std::string q = query(terms, {"song=", "album=", "artist="});
    std::string dashless;
    for (const char c : q) dashless += c == '-' ? std::string("%20") : std::string(1, c);
    return stores.msn + dashless + "&affid=";
  }
  return {};
}

std::string m3uText(const std::vector<M3uEntry>& entries) {
  std::string text = "#EXTM3U\n";
  for (const M3uEntry& e : entries)
    text += "#EXTINF:" + std::to_string(e.seconds) + "," + e.name + "\n" + e.path + "\n";
  return text;
}

std::string freeCopyName(const std::string& folder, const std::string& fileName) {
  std::error_code error;
  if (!fs::exists(fs::path(folder) / fileName, error)) return fileName;
  const fs::path name(fileName);
  const std::string stem = name.stem().string();
  const std::string ext = name.extension().string();
  for (int n = 2;; ++n) {
    std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
    if (!fs::exists(fs::path(folder) / candidate, error)) return candidate;
  }
}

int copyFilesTo(const std::vector<std::string>& files, const std::string& folder,
                const std::function<bool(const ProgressInfo&)>& progress) {
  const int total = static_cast<int>(files.size());
  int copied = 0;
  for (int i = 0; i < total; ++i) {
    char caption[64];
    std::snprintf(caption, sizeof caption, "Copying file %d of %d...", i + 1, total);
    const ProgressInfo info{1, 1, i, total, 1, caption, "", ""};
    if (!progress(info)) return copied;
    const std::string name = fs::path(files[i]).filename().string();
    std::error_code error;
    // copy_options::none refuses an existing target, so a name taken meanwhile is kept too.
    if (fs::copy_file(files[i], fs::path(folder) / freeCopyName(folder, name), error)) ++copied;
  }
  const ProgressInfo done{1, 1, total, total, 1, "Finished", "", ""};
  progress(done);
  return copied;
}

int parseVersion(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  long value = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i) {
    value = value * 10 + (text[i] - '0');
    any = true;
  }
  return any ? static_cast<int>(value) : 0;
}

}  // namespace zarvell::app
