#include "ErrorReport.h"

namespace qorn {
namespace {

// Library-wide by design: one engine per process, and the application reads this text.
std::string& logOutput() {
  static std::string text;
  return text;
}

bool& managerFlag() {
  static bool present = false;
  return present;
}

}  // namespace

const char* errorMessage(int code) {
  switch (code) {
    case kErrorSaveFeatures: return "Can't save features.xml file.";
    case kErrorNormfMissing: return "File normf.xml is missing.";
    case kErrorLinkInference: return "Can't initialise link inference module.";
    case kErrorFeaturesParse: return "Parse error in features.xml.";
    case kErrorSaveNetwork: return "Can't save network file.";
    case kErrorOpenNetwork: return "Can't open network file.";
    case kErrorFeatureExtraction: return "Fatal error during feature extraction";
    default: return "Unknown error type.";
  }
}

bool reportError(int code) {
  if (managerFlag()) appendLogOutput(errorMessage(code));
  return true;
}

void appendLogOutput(std::string_view text) {
  std::string& out = logOutput();
  out.append(text);
  out.append("\r\n");
}

const std::string& logOutputText() { return logOutput(); }

void clearLogOutputText() { logOutput().clear(); }

void setManagerPresent(bool present) { managerFlag() = present; }

bool managerPresent() { return managerFlag(); }

}  // namespace qorn
