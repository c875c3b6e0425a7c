// The files a probe run reads: the command line's files, and the audio files of the
// folders it names, found recursively.
#pragma once

#include <string>
#include <vector>

namespace probe {

struct Inputs {
  std::vector<std::string> files;   // in command-line order; a folder's files sorted
  std::vector<std::string> errors;  // one reason per argument that gave no file
};

// True for a name the folder scan takes as a song (by extension, any case).
bool isAudioName(const std::string& name);

// Expands `arguments`: a file is taken as it is (whatever its name, so that the user can
// probe any file); a folder gives every audio file below it, symbolic links to folders not
// followed; a missing or unreadable argument, or a folder without audio files, gives a
// reason ("PATH: no such file or directory"). Throws only std::bad_alloc.
Inputs expand(const std::vector<std::string>& arguments);

}  // namespace probe
