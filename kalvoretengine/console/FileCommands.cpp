// Console commands that read and write a whole network file.
#include "Console.h"

namespace kalvoret {

void registerFileCommands(CommandTable& table) {
  table["loadNet"] = {"loadNet PATH", 1, 1, [](Session& s, const Args& a) {
                        return std::to_string(s.manager().loadNet(a[0].c_str()));
                      }};
  table["saveNet"] = {"saveNet PATH", 1, 1, [](Session& s, const Args& a) {
                        return std::to_string(s.manager().saveNet(a[0].c_str()));
                      }};
  table["load"] = table["loadNet"];
  table["save"] = table["saveNet"];
}

}  // namespace kalvoret
