#include "Report.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstring>

#include "FeatureNames.h"
#include "SampleHash.h"
#include "zarvell/text.h"

namespace probe {
namespace {

std::string hex(std::int32_t status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

// A JSON string literal of `text` (shown as UTF-8, Windows-1252 for other bytes).
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : zarvell::toDisplayUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string jsonNumber(float value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

std::string noHashReason(const std::string& file) {
  const std::u16string path = zarvell::pathToUtf16(file);
  if (sonalyx::sampleKindOf(path) == sonalyx::SampleKind::None) {
    return "only files ending in .mp3, .m4a, .wav, .wma, .m4p, .flac, .ogg, .oga or .opus have a "
           "sample hash";
  }
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return std::string("cannot be read: ") + std::strerror(errno);
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  if (info.st_size == 0) return "the file is empty";
  return "the file cannot be read";
}

std::string failureReason(const sonalyx::Analysis& analysis) {
  using sonalyx::AnalysisFailure;
  switch (analysis.failure) {
    case AnalysisFailure::None:
      return std::string();
    case AnalysisFailure::NoDecoder:
      return "no decoder module is loaded";
    case AnalysisFailure::TooShort:
      return "only " + std::to_string(analysis.samples) +
             " samples decoded, less than one second (22050)";
    case AnalysisFailure::Computation:
      return "the feature library could not compute the features";
    case AnalysisFailure::Undecodable:
      break;
  }
  std::string reason = "no decoder could read it (";
  for (int i = 0; i < analysis.decode.attemptCount; ++i) {
    const sonalyx::DecodeAttempt& a = analysis.decode.attempts[i];
    if (i > 0) reason += "; ";
    reason += std::string(sonalyx::decoderName(a.decoder)) + ": status " + hex(a.status) + ", " +
              std::to_string(a.samples) + " samples";
  }
  return reason + ")";
}

void printText(std::FILE* out, const FileReport& r) {
  std::fprintf(out, "file: %s\n", r.file.c_str());
  if (r.hash.empty()) {
    std::fprintf(out, "md5: (none: %s)\n", r.hashNote.c_str());
  } else {
    std::fprintf(out, "md5: %s\n", r.hash.c_str());
  }
  std::fprintf(out, "decoder: %s\n", sonalyx::decoderName(r.analysis.decoder));
  std::fprintf(out, "samples: %d\n", static_cast<int>(r.analysis.samples));
  std::fprintf(out, "media seconds: %d\n", static_cast<int>(r.analysis.mediaSeconds));
  if (!r.analysis.ok()) {
    std::fprintf(out, "features: (analysis failed)\n\n");
    return;
  }
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k)
    std::fprintf(out, "f%d: %0.8f\n", 300 + k, static_cast<double>(r.features[k]));
  std::fprintf(out, "\n");
}

void printJson(std::FILE* out, const FileReport& r) {
  const bool ok = r.analysis.ok();
  std::string json = "{\"file\": " + jsonString(r.file);
  json += ", \"md5\": " + (r.hash.empty() ? std::string("null") : jsonString(r.hash));
  json += ", \"md5Note\": " + jsonString(r.hashNote);
  json += ", \"decoder\": " + (r.analysis.decoder == sonalyx::Decoder::None
                                   ? std::string("null")
                                   : jsonString(sonalyx::decoderName(r.analysis.decoder)));
  json += ", \"samples\": " + std::to_string(r.analysis.samples);
  json += ", \"mediaSeconds\": " + std::to_string(r.analysis.mediaSeconds);
  json += std::string(", \"analysed\": ") + (ok ? "true" : "false");
  json += ", \"error\": " + jsonString(failureReason(r.analysis));
  json += ", \"features\": {";
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k) {
    if (k > 0) json += ", ";
    json += jsonString(featureName(k)) + ": " + (ok ? jsonNumber(r.features[k]) : "null");
  }
  json += "}}";
  std::fputs(json.c_str(), out);
}

}  // namespace probe
