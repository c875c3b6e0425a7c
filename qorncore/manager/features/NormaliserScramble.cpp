#include "qorncore/manager/features/NormaliserScramble.h"

#include <set>

#include "qorncore/manager/features/FeatureSet.h"

namespace qorn {
namespace {

constexpr int kAlphabetSize = 65;
constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_-.";
static_assert(sizeof kAlphabet == kAlphabetSize + 1);

int alphabetIndex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 36;
  if (c == '_') return 62;
  if (c == '-') return 63;
  if (c == '.') return 64;
  return -1;
}

int wrap(long long d) {
  long long r = d % kAlphabetSize;
  return static_cast<int>(r < 0 ? r + kAlphabetSize : r);
}

// direction +1 scrambles, -1 undoes it.
std::string transform(std::string_view text, int key, int direction) {
  std::string out(text);
  const long long k = wrap(key);
  for (std::size_t i = 0; i < out.size(); ++i) {
    int index = alphabetIndex(out[i]);
    if (index < 0) continue;
    const long long shift = static_cast<long long>(i % kAlphabetSize);
    const long long positionShift = (i % 2 == 0) ? shift : -shift;
    long long d = direction > 0 ? wrap(wrap(index + k) + positionShift)
                                : wrap(wrap(index - positionShift) - k);
    out[i] = kAlphabet[d];
  }
  return out;
}

}  // namespace

int featureNameKey(int position) {
  int p = position < 0 ? -position : position;
  return kValueKeys[static_cast<std::size_t>(p % 5)] + p;
}

std::string scrambleText(std::string_view text, int key) {
  return transform(text, key, +1);
}

std::string unscrambleText(std::string_view text, int key) {
  return transform(text, key, -1);
}

AttributeList unscrambleAttributes(const AttributeList& scrambled, int position) {
  AttributeList plain;
  plain.reserve(scrambled.size());
  for (std::size_t n = 0; n < scrambled.size(); ++n) {
    const auto& [name, value] = scrambled[n];
    if (n == 0) {
      plain.emplace_back("scrambled", unscrambleText(value, featureNameKey(position)));
      continue;
    }
    std::string_view bare = name;
    if (!bare.empty()) bare.remove_prefix(1);  // the random prefix letter
    plain.emplace_back(unscrambleText(bare, kNameKeys[n % 5]),
                       unscrambleText(value, kValueKeys[n % 5]));
  }
  return plain;
}

std::string scrambledAttributesText(const Normaliser& n, int position,
                                    const std::function<char()>& letter) {
  AttributeList list;
  list.emplace_back("name", getFeatureName(position));
  for (auto& pair : n.attributes()) list.push_back(std::move(pair));

  std::set<std::string> used;
  std::string text;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string core = scrambleText(list[i].first, kNameKeys[i % 5]);
    std::string name;
    // 26 prefixes per attribute and at most 10 other names: a free one always exists.
    for (int attempt = 0; attempt < 64; ++attempt) {
      char c = letter();
      if (c < 'a' || c > 'z') c = static_cast<char>('a' + attempt % 26);
      name = std::string(1, c) + core;
      if (used.count(name) == 0) break;
    }
    for (char c = 'a'; used.count(name) != 0 && c <= 'z'; ++c) name = std::string(1, c) + core;
    used.insert(name);
    const int valueKey = i == 0 ? featureNameKey(position) : kValueKeys[i % 5];
    if (!text.empty()) text += ' ';
    text += name;
    text += "=\"";
    text += scrambleText(list[i].second, valueKey);
    text += '"';
  }
  return text;
}

}  // namespace qorn
