// The manager's iTunes import: the library file read into entries, then imported as any
// other list of entries.
#include <string>
#include <vector>

#include "qornManager.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/manager/ITunesLibraryReader.h"
#include "qorncore/manager/SyncItemList.h"

namespace qorn {

namespace {
constexpr const char* kSource = "qorncore/manager/qornManager";
// Stages of a whole import: the scan reports itself as the first of them.
constexpr int kImportStages = 4;
}  // namespace

// Reads the iTunes library file and imports its tracks (importFromMetaData with the same
// value and flag). 0 when the file cannot be read or the read is cancelled (nothing
// imported, the network untouched), -1 for a null path, else the import's result. Returns
// a status; throws only what the import throws (the facade catches it).
int qornManager::importITunes(const char* path, float value, bool flag) {
  if (!path) {
    QORN_LOG(Error, kSource, "importITunes: no library file named");
    return -1;
  }
  ITunesLibraryReader reader(callback_, kImportStages);
  const int read = reader.read(path);
  if (read != 1) return read;  // failed or cancelled: the reader kept nothing
  // The entries live until the import has returned, whatever way it returns.
  const std::vector<SyncItemPtr> items = reader.takeItems();
  QORN_LOG(Debug, kSource, "importITunes: " + std::to_string(items.size()) + " tracks read");
  return importFromMetaData(syncItemPointers(items), value, flag);
}

}  // namespace qorn
