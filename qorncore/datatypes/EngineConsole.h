// The engine console: the one stream that receives the engine's own console lines (load
// and save progress, warnings about unexpected tags, illegal links or filters, keyword
// scores). The log4cplus lines (EngineLog.h) and the log output text (ErrorReport.h) are
// separate channels and do not pass through here.
//
// One documented process-wide sink rather than a stream handed to every holder: the
// engine is one per process (its log output text and error reporter are library-wide
// already), and the writers sit deep in value-level classes (KeywordIndex, AscHolder,
// Normaliser, FeatureSet) that know no engine. The program that hosts the engine chooses
// the stream once at start-up: the console tool sends it to standard error so that
// standard output holds only results; the player sends it to its log. Until a program
// chooses, the lines go to standard output.
//
// The value types (qornfloat, qorndate) keep writing their misuse warnings straight to
// standard error: they are the bottom layer, used by code that has no engine at all, and
// their warnings are programming-fault diagnostics rather than engine output.
//
// Single-threaded like the engine: set it before the engine runs, not while it runs.
// Nothing here throws.
#pragma once

#include <iosfwd>

namespace qorn {

// The stream the engine writes its console lines to (standard output by default).
std::ostream& engineConsole();

// Sends the console lines to `stream` (null: back to standard output); the stream must
// outlive its use. Returns the stream used before.
std::ostream* setEngineConsole(std::ostream* stream);

// Sends the console lines to a stream for the life of the object (tests, tools).
class ScopedEngineConsole {
 public:
  explicit ScopedEngineConsole(std::ostream& stream) : previous_(setEngineConsole(&stream)) {}
  ~ScopedEngineConsole() { setEngineConsole(previous_); }
  ScopedEngineConsole(const ScopedEngineConsole&) = delete;
  ScopedEngineConsole& operator=(const ScopedEngineConsole&) = delete;

 private:
  std::ostream* previous_;
};

}  // namespace qorn
