// Console commands that read and write a whole network file. A relative PATH resolves
// against the folder the console was started in; the result shows the whole path. A
// failure is an error line with the reason from the engine's error table.
#include "Console.h"
#include "qorncore/datatypes/ErrorReport.h"

namespace kalvoret {
namespace {

// Runs the exported call on the whole path; "1 \"PATH\"" on success, else the error.
template <typename Call>
std::string fileCommand(Session& s, const Args& a, int errorCode, Call call) {
  const std::string path = s.path(a[0]);
  const int result = call(s.manager(), path.c_str());
  if (result != 1) throw CommandError(std::string(qorn::errorMessage(errorCode)) + " " + Session::quote(path));
  return std::to_string(result) + " " + Session::quote(path);
}

}  // namespace

void registerFileCommands(CommandTable& table) {
  table["loadNet"] = {"loadNet PATH", 1, 1, [](Session& s, const Args& a) {
                        return fileCommand(s, a, qorn::kErrorOpenNetwork,
                                           [](IQornManager& m, const char* p) { return m.loadNet(p); });
                      }};
  table["saveNet"] = {"saveNet PATH", 1, 1, [](Session& s, const Args& a) {
                        return fileCommand(s, a, qorn::kErrorSaveNetwork,
                                           [](IQornManager& m, const char* p) { return m.saveNet(p); });
                      }};
  table["load"] = table["loadNet"];
  table["load"].usage = "load PATH  (same as loadNet)";
  table["save"] = table["saveNet"];
  table["save"].usage = "save PATH  (same as saveNet)";
}

}  // namespace kalvoret
