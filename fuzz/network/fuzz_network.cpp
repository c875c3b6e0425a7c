// Fuzz target of the network file reader (see CMakeLists.txt). Console lines go to a
// discarded stream; a text that does not survive a second round trip stops the fuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "qorncore/manager/qornManager.h"
#include "qorncore/manager/qornManagerNetworkFile.h"

namespace {

std::string roundTrip(std::string_view text, int* result) {
  qorn::qornManager manager("", "", nullptr);
  manager.clock().set(1700000000);  // taboo purging must not depend on the moment
  std::ostringstream console;
  *result = qorn::loadNetworkText(manager, text, console);
  return qorn::networkText(manager, console);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  int result = 0;
  const std::string first =
      roundTrip(std::string_view(reinterpret_cast<const char*>(data), size), &result);
  int again = 0;
  const std::string second = roundTrip(first, &again);
  int third = 0;
  const std::string back = roundTrip(second, &third);
  if (again != 1 || third != 1 || back != first) {
    std::fprintf(stderr, "round trip differs (results %d %d)\n--- first\n%s\n--- back\n%s\n",
                 again, third, first.c_str(), back.c_str());
    std::abort();
  }
  return 0;
}
