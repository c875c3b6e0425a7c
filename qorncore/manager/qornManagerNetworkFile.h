// The manager's network file operations with an explicit console stream (loadNet and
// saveNet use standard output). Single-threaded like the manager; nothing here throws.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace qorn {

class qornManager;

// Clears the manager when it holds nodes, then reads the file (see NetworkParser::load)
// and rebuilds the md5 and location indexes. 1 on success, 0 on failure or empty path.
int loadNetworkFile(qornManager& manager, const char* path, std::ostream& console);
// The same for a document held in memory (tools and the fuzz target).
int loadNetworkText(qornManager& manager, std::string_view text, std::ostream& console);
// Makes song lists consistent with their links, prepares the keyword index and saves
// through saveNetwork (crash-safe replace, "<path>.bak" kept). 1 on success, 0 otherwise.
int saveNetworkFile(qornManager& manager, const char* path, std::ostream& console);
// The text saveNetworkFile would write (same preparation and decay).
std::string networkText(qornManager& manager, std::ostream& console);

}  // namespace qorn
