// The folder scan of the music-folder import: every supported audio file below a folder.
//
// Contract: a plain function of the calling thread (the player runs it on its import
// worker, the console on its only thread); it keeps no state between calls and touches
// nothing but the file system, which it only reads. It can be cancelled: the progress
// callback is asked after every folder and a false answer ends the scan with an empty
// list. Nothing here throws except std::bad_alloc.
//
// Symbolic links are followed, to folders and to files; every folder is scanned once
// (folders are known by their canonical path, so a link back up the tree loops nowhere).
// Paths in the result are canonical (absolute, no links, no "." or ".."), each file once,
// in ascending byte order. A folder that cannot be read is skipped and listed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvell {

// True when the name ends, compared without regard to case, in one of the supported audio
// extensions: ".mp3", ".wma", ".m4a", ".wav", ".flac", ".ogg", ".oga", ".opus".
bool isMediaFileName(std::string_view path);

// The media test of paths the user points at: an existing folder (links followed), or a
// name that passes isMediaFileName.
bool passesMediaTest(const std::string& path);

struct FolderScanResult {
  std::vector<std::string> files;           // canonical paths, sorted, each once
  // Folders that could not be read, and given paths that name no file or folder.
  std::vector<std::string> skipped;
  bool cancelled = false;
};

// Called after each folder: folders scanned so far and files found so far; false cancels.
using FolderScanProgress = std::function<bool(std::size_t folders, std::size_t files)>;

// Scans `root` and every folder below it. A root that is not a readable folder gives an
// empty list with the root among the skipped folders.
FolderScanResult scanMediaFolder(const std::string& root,
                                 const FolderScanProgress& progress = {});

// The same for what the user dropped or listed: folders are scanned, supported files are
// taken as they are (canonical), other files are left out, and paths that name nothing are
// listed as skipped. One sorted list, each file
// once; the callback works as above over all folders.
FolderScanResult collectMedia(const std::vector<std::string>& paths,
                              const FolderScanProgress& progress = {});

}  // namespace zarvell
