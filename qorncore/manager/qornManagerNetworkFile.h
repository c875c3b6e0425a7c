// The manager's network file operations with an explicit console stream (loadNet and
// saveNet use standard output). Single-threaded like the manager; nothing here throws.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace qorn {

class qornManager;

// Opens the file (see NetworkParser::load); when it cannot be opened, error 6 and the
// network stays as it was. Otherwise clears the manager, reads the file and rebuilds the
// md5 and location indexes. 1 on success, 0 on failure or empty path (which clears).
// When the read fails part-way, the file is remembered as damaged: the next save to it
// first keeps it as "<path>.damaged-<date>-<time>" (standard error and log say so).
int loadNetworkFile(qornManager& manager, const char* path, std::ostream& console);
// The same for a document held in memory (tools and the fuzz target).
int loadNetworkText(qornManager& manager, std::string_view text, std::ostream& console);
// Makes song lists consistent with their links, prepares the keyword index and saves
// through saveNetwork (crash-safe replace, "<path>.bak" kept). 1 on success, 0 otherwise
// (also, with error 5, when a damaged file at `path` cannot be kept first).
int saveNetworkFile(qornManager& manager, const char* path, std::ostream& console);
// The text saveNetworkFile would write (same preparation and decay).
std::string networkText(qornManager& manager, std::ostream& console);

}  // namespace qorn
