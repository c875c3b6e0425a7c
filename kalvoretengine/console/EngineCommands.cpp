// Console commands for play events, selection, learning, taboo and lists.
#include "Console.h"

namespace kalvoret {

void registerEngineCommands(CommandTable&) {}

}  // namespace kalvoret
