#include "EngineConsole.h"

#include <iostream>

namespace qorn {
namespace {

// The one sink (see the header); null means standard output.
std::ostream*& sink() {
  static std::ostream* stream = nullptr;
  return stream;
}

}  // namespace

std::ostream& engineConsole() { return sink() ? *sink() : std::cout; }

std::ostream* setEngineConsole(std::ostream* stream) {
  std::ostream* previous = sink();
  sink() = stream;
  return previous;
}

}  // namespace qorn
