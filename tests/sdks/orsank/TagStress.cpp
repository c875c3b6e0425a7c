#include "TagStress.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>

#include "zarvell/text.h"

namespace orsank::test {
namespace {

// SplitMix64: a tiny generator whose sequence is fixed by its seed on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform enough in [0, bound) for damage; bound 0 gives 0.
  std::uint64_t below(std::uint64_t bound) { return bound ? next() % bound : 0; }

 private:
  std::uint64_t state_;
};

void flipBits(std::string& bytes, Random& random, std::uint64_t region) {
  if (bytes.empty()) return;
  const std::uint64_t span = region < bytes.size() ? region : bytes.size();
  const std::uint64_t flips = 1 + random.below(16);
  for (std::uint64_t i = 0; i < flips; ++i) {
    bytes[random.below(span)] ^= static_cast<char>(1u << random.below(8));
  }
}

void truncate(std::string& bytes, Random& random) {
  bytes.resize(random.below(bytes.size()));
}

}  // namespace

std::string damage(const std::string& bytes, std::uint64_t seed) {
  Random random(seed);
  std::string copy = bytes;
  switch (random.below(5)) {
    case 0:
      truncate(copy, random);
      break;
    case 1:
      flipBits(copy, random, copy.size());
      break;
    case 2:
      flipBits(copy, random, 4096);
      break;
    case 3:
      if (!copy.empty()) {
        const std::uint64_t start = random.below(copy.size());
        const std::uint64_t length =
            1 + random.below(std::min<std::uint64_t>(copy.size() - start, 2048));
        for (std::uint64_t i = 0; i < length; ++i)
          copy[start + i] = static_cast<char>(random.next());
      }
      break;
    default:
      truncate(copy, random);
      flipBits(copy, random, 4096);
      break;
  }
  return copy;
}

Answer ask(ExtractMetaDataFn extract, const char* path) {
  Answer answer;
  for (char* buffer : {answer.title, answer.album, answer.artist, answer.genre}) {
    std::memset(buffer, 'Q', kOrsankTextBufferSize);
  }
  answer.year = -99;
  answer.duration = -99;
  answer.status = extract(path, answer.title, answer.album, answer.artist, answer.genre,
                          &answer.year, &answer.duration);
  return answer;
}

std::string brokenPromise(const Answer& answer) {
  const std::pair<const char*, const char*> texts[] = {{"title", answer.title},
                                                       {"album", answer.album},
                                                       {"artist", answer.artist},
                                                       {"genre", answer.genre}};
  for (const auto& [name, buffer] : texts) {
    const void* end = std::memchr(buffer, '\0', kOrsankTextMaxBytes + 1);
    if (!end) return std::string(name) + " is not terminated within 1024 bytes";
    const std::string_view text(buffer, static_cast<const char*>(end) - buffer);
    if (!zarvell::isValidUtf8(text)) return std::string(name) + " is not valid UTF-8";
    if (answer.status < 0 && !text.empty()) return std::string(name) + " is not empty on failure";
  }
  if (answer.duration < 0) return "negative duration";
  if (answer.status < 0 && (answer.year != 0 || answer.duration != 0)) {
    return "year or duration not 0 on failure";
  }
  return std::string();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace orsank::test
