// Scrambled normaliser texts: the normaliser section of a shipped file may hide its
// attribute names and values (section attribute s="1").
//
// The scheme, shared by the writer and the reader:
// - Text transform on the 65-character alphabet 0-9 A-Z a-z _ - . (other characters stay as
//   they are): character c at position i with key k becomes
//   alphabet[((index(c) + k mod 65) +/- (i mod 65)) mod 65], plus for even i, minus for odd i.
// - The n-th attribute of a scrambled "normf" element has its name scrambled with
//   kNameKeys[n mod 5] and its value with kValueKeys[n mod 5]. The writer puts one random
//   lower-case letter in front of each scrambled name (so the name is a valid XML name);
//   the reader drops it.
// - Attribute 0 carries the feature name, scrambled with featureNameKey(position); the
//   reader calls it "scrambled" and does not use it as a name. Assignment rests on element
//   order: the k-th "normf" of a scrambled section is the normaliser of feature position k.
//   The reader checks that attribute 0 decodes to the name of position k and refuses an
//   element whose name does not match (a reordered or damaged section), so a normaliser is
//   never applied to the wrong feature.
// Nothing here throws except std::bad_alloc.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "qorncore/manager/features/Normaliser.h"

namespace qorn {

inline constexpr std::array<int, 5> kNameKeys = {7, 23, 41, 13, 58};
inline constexpr std::array<int, 5> kValueKeys = {31, 5, 47, 19, 62};

// Key of the feature name of the normaliser at feature position `position`.
int featureNameKey(int position);

std::string scrambleText(std::string_view text, int key);
std::string unscrambleText(std::string_view text, int key);

// The attributes of a scrambled element as the reader sees them: names and values
// unscrambled, the first attribute renamed "scrambled" and its value decoded with the key
// of feature position `position` (it should then equal getFeatureName(position)).
AttributeList unscrambleAttributes(const AttributeList& scrambled, int position);

// The scrambled attribute text of the normaliser at `position` (without "<normf " and
// " />"); `letter` gives the random prefix letters, one call per attribute, each 'a'-'z'.
// Prefixes are drawn again when two scrambled names of the element would be equal.
std::string scrambledAttributesText(const Normaliser& n, int position,
                                    const std::function<char()>& letter);

}  // namespace qorn
