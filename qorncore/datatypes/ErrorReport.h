// The engine's log output text and error reporter.
//
// The log output text is one library-wide growing text that the application reads after
// an import to show the user what went wrong. The error reporter appends the message of a
// numbered user-facing failure to it while an engine manager exists. Single-threaded like
// the rest of the engine; nothing here throws.
#pragma once

#include <string>
#include <string_view>

namespace qorn {

// Numbered user-facing failures (message texts in errorMessage()).
enum ErrorCode : int {
  kErrorSaveFeatures = 1,      // "Can't save features.xml file."
  kErrorNormfMissing = 2,      // "File normf.xml is missing."
  kErrorLinkInference = 3,     // "Can't initialise link inference module."
  kErrorFeaturesParse = 4,     // "Parse error in features.xml."
  kErrorSaveNetwork = 5,       // "Can't save network file."
  kErrorOpenNetwork = 6,       // "Can't open network file."
  kErrorFeatureExtraction = 7  // "Fatal error during feature extraction"
};

// The message for a code; "Unknown error type." for any other code.
const char* errorMessage(int code);

// Appends the code's message and CR LF to the log output text when a manager exists
// (setManagerPresent). Always returns true.
bool reportError(int code);

// Appends text and CR LF to the log output text.
void appendLogOutput(std::string_view text);
const std::string& logOutputText();
void clearLogOutputText();

// Set by the engine facade while its manager object exists.
void setManagerPresent(bool present);
bool managerPresent();

}  // namespace qorn
