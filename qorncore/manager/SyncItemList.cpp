#include "qorncore/manager/SyncItemList.h"

#include <algorithm>
#include <cstring>

namespace qorn {

// The fields are read by name: the record is packed, and only a direct member access lets
// the compiler read a pointer that does not sit on its natural alignment.
void SyncItemDeleter::operator()(FESyncItem* item) const noexcept {
  if (!item) return;
  for (const char16_t* text :
       {item->path, item->name, item->artist, item->album, item->textCp, item->textCt, item->textCd,
        item->textLg, item->genre, item->textIk, item->textMo, item->textPd, item->textPr,
        item->textPb, item->textSt, item->textWt})
    delete[] text;
  delete item;
}

SyncItemPtr makeSyncItem() {
  auto* item = new FESyncItem;
  std::memset(item, 0, sizeof *item);
  return SyncItemPtr(item);
}

const char16_t* newSyncText(std::u16string_view text) {
  auto* copy = new char16_t[text.size() + 1];
  std::copy(text.begin(), text.end(), copy);
  copy[text.size()] = u'\0';
  return copy;
}

std::vector<FESyncItem*> syncItemPointers(const std::vector<SyncItemPtr>& items) {
  std::vector<FESyncItem*> out;
  out.reserve(items.size());
  for (const auto& item : items) out.push_back(item.get());
  return out;
}

}  // namespace qorn
