// Damaged copies of tagged files and the checks every ExtractMetaData answer must pass,
// shared by the robustness test and the orsank_stress driver.
#pragma once

#include <cstdint>
#include <string>

#include "orsank/Orsank.h"

namespace orsank::test {

// A damaged copy of `bytes`, the same for the same seed on every run: truncated, bits
// flipped (anywhere or within the first 4 KiB, where headers and tags live), a range
// overwritten by noise, or truncated and flipped.
std::string damage(const std::string& bytes, std::uint64_t seed);

// One answer of ExtractMetaData over buffers that were filled with a marker byte first.
struct Answer {
  std::int32_t status = 0;
  char title[kOrsankTextBufferSize];
  char album[kOrsankTextBufferSize];
  char artist[kOrsankTextBufferSize];
  char genre[kOrsankTextBufferSize];
  std::int32_t year = 0;
  std::int32_t duration = 0;
};

// Calls `extract` on `path` with every buffer filled with 'Q' and both numbers -99.
Answer ask(ExtractMetaDataFn extract, const char* path);

// Empty text when the answer keeps the boundary's promises: each text zero-terminated
// within kOrsankTextMaxBytes bytes and well-formed UTF-8, duration not negative, and on a
// negative status every text empty and both numbers 0. Otherwise what was broken.
std::string brokenPromise(const Answer& answer);

std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);

}  // namespace orsank::test
