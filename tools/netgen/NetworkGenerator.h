// Synthetic networks for measuring the engine: songs, albums and artists with the degrees a
// real library shows (albums of about ten tracks, artists with a long tail of song counts,
// song-to-song links concentrated among similar songs), built through the engine itself.
//
// The same options and seed give the same network on every run (the generator uses its
// own integer mixing, no library distributions). Single-threaded; throws only bad_alloc.
#pragma once

#include <cstdint>
#include <string>

#include "qorncore/manager/qornManager.h"

namespace netgen {

struct Options {
  int songs = 100000;
  int albums = 10000;
  int artists = 5000;
  long links = 1000000;  // all links, song-to-album and song-to-artist included
  uint64_t seed = 20240601;
  bool keywords = true;  // give every node a few keyword tokens
};

struct Stats {
  long nodes = 0;
  long links = 0;
  long songSongLinks = 0;
  int maxSongDegree = 0;
  int maxArtistDegree = 0;
  double seconds = 0;
};

// Ids: artists 1..artists, albums next, songs last. The engine must be empty.
Stats generate(qorn::qornManager& engine, const Options& options);

// Id ranges of a generated network.
inline int32_t firstArtist(const Options&) { return 1; }
inline int32_t firstAlbum(const Options& o) { return o.artists + 1; }
inline int32_t firstSong(const Options& o) { return o.artists + o.albums + 1; }

// Resident memory of this process in bytes (VmRSS), 0 when unknown.
long residentBytes();

}  // namespace netgen
