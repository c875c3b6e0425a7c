// Reading the community server's answer to a download request.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "CommunityConnection.h"

namespace sonalyx {

// Parses a download reply (UTF-8 text, read up to its first NUL) and writes the features
// it carries into the songs' results. The i-th ET child of the QR root answers the i-th
// song (matching is by position). Per song, its first FT child gives feature k in attribute
// "f<300+k>"; every value found is written, and hasFeatures is set only when all 72 were
// found. A value that is not a finite decimal number counts as missing.
// Returns 0 when the reply was used (or was empty), E_FAIL when it does not parse or has
// no QR root, E_UNEXPECTED when the number of ET elements differs from the songs' (and is
// not zero), E_INVALIDARG when there is no ET at all; in those cases no result is touched.
// Never throws beyond std::bad_alloc.
std::int32_t applyDownloadReply(std::string_view reply, std::span<const SongRef> songs);

// Reads one feature value as the server writes it: leading white space skipped, then a
// decimal floating-point number. Empty when there is no finite number.
std::optional<float> parseFeatureValue(std::u16string_view text);

}  // namespace sonalyx
