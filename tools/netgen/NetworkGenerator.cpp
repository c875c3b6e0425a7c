#include "NetworkGenerator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <vector>

namespace netgen {
namespace {

// splitmix64: a small, fully specified generator.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_;
};

const char* const kGenres[] = {"rock", "jazz", "blues", "pop", "folk", "soul", "metal",
                               "ambient", "techno", "house", "reggae", "country", "classical",
                               "punk", "funk", "disco"};

// Title words: a fixed vocabulary of syllable words, so names share words as real ones do.
std::vector<std::string> vocabulary(Random& rng, int size) {
  static const char* const syllables[] = {"ka", "lo", "mi", "ra", "ven", "to", "su", "nel",
                                          "dor", "ia", "ble", "mar", "ro", "sen", "ti", "va"};
  std::vector<std::string> words;
  for (int i = 0; i < size; ++i) {
    std::string w;
    const int n = 2 + rng.below(2);
    for (int k = 0; k < n; ++k) w += syllables[rng.below(16)];
    words.push_back(w);
  }
  return words;
}

std::string title(Random& rng, const std::vector<std::string>& words, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += words[rng.below(static_cast<int>(words.size()))];
  }
  out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

std::string hex32(Random& rng) {
  static const char* digits = "0123456789abcdef";
  std::string out(32, '0');
  for (char& c : out) c = digits[rng.below(16)];
  return out;
}

}  // namespace

long residentBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kb = 0;
      status >> kb;
      return kb * 1024;
    }
    status.ignore(4096, '\n');
  }
  return 0;
}

Stats generate(qorn::qornManager& engine, const Options& o) {
  const auto started = std::chrono::steady_clock::now();
  Random rng(o.seed);
  Stats stats;
  auto& links = engine.links();
  const std::vector<std::string> words = vocabulary(rng, 4000);

  // Artists with a long tail: artist k is chosen with weight 1 / (k + 10).
  std::vector<double> artistWeight(o.artists);
  for (int k = 0; k < o.artists; ++k) artistWeight[k] = 1.0 / (k + 10.0);
  std::vector<double> cumulative(o.artists);
  double total = 0;
  for (int k = 0; k < o.artists; ++k) cumulative[k] = (total += artistWeight[k]);
  auto pickArtist = [&]() {
    const double x = rng.unit() * total;
    return static_cast<int>(std::lower_bound(cumulative.begin(), cumulative.end(), x) -
                            cumulative.begin());
  };

  for (int k = 0; k < o.artists; ++k) {
    auto* artist = new qorn::ArtistNode(firstArtist(o) + k);
    artist->name = title(rng, words, 2);
    if (o.keywords) artist->pendingKeywords = artist->name.str();
    engine.addNode(artist);
  }

  // Albums: each belongs to one artist; its position in "style space" follows the artist.
  std::vector<int> albumArtist(o.albums);
  std::vector<double> albumStyle(o.albums);
  std::vector<double> artistStyle(o.artists);
  for (double& s : artistStyle) s = rng.unit();
  for (int a = 0; a < o.albums; ++a) {
    albumArtist[a] = pickArtist();
    albumStyle[a] = std::fmod(artistStyle[albumArtist[a]] + 0.01 * rng.unit(), 1.0);
    auto* album = new qorn::SongListNode(firstAlbum(o) + a);
    album->name = title(rng, words, 1 + rng.below(2));
    album->people.addPerson(firstArtist(o) + albumArtist[a], "artist");
    if (o.keywords) album->pendingKeywords = album->name.str();
    engine.addNode(album);
  }

  // Songs: each on an album (tracks in order), by the album's artist, sometimes a guest.
  struct SongInfo {
    int32_t id;
    double style;
  };
  std::vector<SongInfo> songs(o.songs);
  for (int i = 0; i < o.songs; ++i) {
    const int a = i < o.albums ? i : rng.below(o.albums);  // every album gets a track
    const int32_t id = firstSong(o) + i;
    auto* song = new qorn::SongNode(id);
    song->name = title(rng, words, 1 + rng.below(3));
    song->md5 = hex32(rng);
    song->location = "/music/" + std::to_string(a + 1) + "/" + std::to_string(i + 1) + ".mp3";
    song->duration = 120 + rng.below(300);
    song->albumId = firstAlbum(o) + a;
    song->people.addPerson(firstArtist(o) + albumArtist[a], "artist");
    const bool guest = rng.below(5) == 0;
    int guestArtist = -1;
    if (guest) {
      guestArtist = pickArtist();
      if (guestArtist != albumArtist[a]) song->people.addPerson(firstArtist(o) + guestArtist, "artist");
    }
    if (o.keywords)
      song->pendingKeywords = std::string(kGenres[static_cast<int>(albumStyle[a] * 16)]) + " " +
                              song->name.str();
    engine.addNode(song);
    auto* album = engine.nodes().find(song->albumId)->asSongList();
    album->setTrack(0, id);
    album->trackCount = static_cast<int32_t>(album->tracks.size());
    links.create(id, song->albumId, qorn::qornfloat(0.2f));
    for (int32_t artistId : song->people.artists) links.create(id, artistId, qorn::qornfloat(0.3f));
    songs[i] = SongInfo{id, std::fmod(albumStyle[a] + 0.002 * rng.unit(), 1.0)};
  }

  // Song-to-song links among songs close in style, with degrees spread like inferred
  // links: most songs have a handful, a few have many.
  std::vector<SongInfo> byStyle = songs;
  std::sort(byStyle.begin(), byStyle.end(),
            [](const SongInfo& x, const SongInfo& y) { return x.style < y.style || (x.style == y.style && x.id < y.id); });
  long budget = o.links - static_cast<long>(links.size());
  const double perSong = budget > 0 ? 2.0 * static_cast<double>(budget) / o.songs : 0;
  for (int pass = 0; pass < 4 && budget > 0; ++pass) {
    for (int i = 0; i < o.songs && budget > 0; ++i) {
      // Half of a song's links are made from its own side: degree ~ perSong on average.
      const double heavy = -std::log(1.0 - rng.unit());  // exponential, mean 1
      const int want = std::max(1, static_cast<int>(perSong / 2 * heavy / (pass + 1) + 0.5));
      const int window = 40 + want * 4;
      for (int k = 0; k < want && budget > 0; ++k) {
        // Wrap around: a network smaller than the window wraps more than once (the same
        // as one subtraction for the networks the benchmarks build).
        const int j = (i + 1 + rng.below(window)) % o.songs;
        const int32_t a = byStyle[i].id;
        const int32_t b = byStyle[j].id;
        if (a == b || links.find(a, b)) continue;
        links.create(a, b, qorn::qornfloat(0.05f + 0.9f * static_cast<float>(rng.unit())));
        --budget;
      }
    }
  }

  links.compact();
  // Building grows many small vectors; give the freed blocks back to the system.
  malloc_trim(0);
  stats.nodes = static_cast<long>(engine.nodes().size());
  stats.links = static_cast<long>(links.size());
  for (const auto& s : songs) {
    const int songDegree = static_cast<int>(links.neighbours(s.id, 0, false).size());
    stats.songSongLinks += songDegree;
    stats.maxSongDegree = std::max(stats.maxSongDegree, static_cast<int>(links.degree(s.id)));
  }
  stats.songSongLinks /= 2;
  for (int k = 0; k < o.artists; ++k)
    stats.maxArtistDegree =
        std::max(stats.maxArtistDegree, static_cast<int>(links.degree(firstArtist(o) + k)));
  stats.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return stats;
}

}  // namespace netgen
