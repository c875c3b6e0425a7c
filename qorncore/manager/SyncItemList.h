// Library entries (FESyncItem) made by the engine, and their ownership.
//
// A record made here is zero-filled, and each text it is given is a zero-terminated UTF-16
// copy allocated here; destroying the record (SyncItemPtr going out of scope) frees the
// record together with every text it holds. Records handed across the engine boundary
// (importFromMetaData, Sonalyx) stay owned by the list that made them: the receivers only
// read them (Sonalyx writes one flag) and free nothing.
//
// Contract: single-threaded; nothing here throws except std::bad_alloc.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "sonalyx/FESyncItem.h"

namespace qorn {

struct SyncItemDeleter {
  void operator()(FESyncItem* item) const noexcept;
};
using SyncItemPtr = std::unique_ptr<FESyncItem, SyncItemDeleter>;

// A zero-filled record.
SyncItemPtr makeSyncItem();

// A zero-terminated copy of `text` for one text field of a record made here (an empty text
// gives an empty string, not null): `item->name = newSyncText(u"...")`. The record frees it.
// Assign only to a field that holds null, as a fresh record's fields do.
const char16_t* newSyncText(std::u16string_view text);

// The records of `items` as the plain pointer list the import takes (borrowed: valid while
// `items` holds them).
std::vector<FESyncItem*> syncItemPointers(const std::vector<SyncItemPtr>& items);

}  // namespace qorn
