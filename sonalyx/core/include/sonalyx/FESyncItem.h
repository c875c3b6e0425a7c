/* FESyncItem: one library entry, the record that the engine (KalvoretEngine) and the
 * audio analysis (Sonalyx) both hold. Its one definition, included by both boundary
 * headers (IQornManager.h and sonalyx/Sonalyx.h). Plain C, usable from C and C++, and
 * needing nothing but the C library.
 *
 * Packed (no padding), little-endian, fields in a fixed order. Pointer fields have the
 * native width; the static assertions below pin every offset in terms of sizeof(void*),
 * so that either library can be rebuilt alone. Texts are zero-terminated UTF-16. */
#ifndef SONALYX_FESYNCITEM_H
#define SONALYX_FESYNCITEM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define FESYNCITEM_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#include <uchar.h>
#define FESYNCITEM_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#pragma pack(push, 1)

/* One library entry, carried from the import into the analysis and community packets.
 * The text pointers own zero-terminated UTF-16 texts (null: no value). The engine creates
 * the records zero-filled and fills them; Sonalyx reads every field and writes only
 * `sent`. The comment after each field names its community packet attribute. */
typedef struct FESyncItem {
  uint8_t valid;               /* 1 once the engine filled the record; 0 in Sonalyx's copies */
  const char16_t* path;        /* full path of the song file ("fn": name and extension) */
  const char16_t* name;        /* song name ("nm") */
  const char16_t* artist;      /* "ar" */
  const char16_t* album;       /* "al" */
  const char16_t* textCp;      /* "cp" */
  const char16_t* textCt;      /* "ct" */
  const char16_t* textCd;      /* "cd" */
  const char16_t* textLg;      /* "lg" */
  const char16_t* genre;       /* "gr" */
  const char16_t* textIk;      /* "ik" */
  const char16_t* textMo;      /* "mo" */
  const char16_t* textPd;      /* "pd" */
  const char16_t* textPr;      /* "pr" */
  const char16_t* textPb;      /* "pb" */
  const char16_t* textSt;      /* "st" */
  const char16_t* textWt;      /* "wt" */
  int32_t duration;            /* seconds ("dr") */
  int32_t playCount;           /* not used by Sonalyx */
  int32_t intYr;               /* "yr" */
  int32_t year;                /* "yp" */
  int32_t reserved;            /* not used by Sonalyx */
  int32_t intBm;               /* "bm" */
  int32_t intId;               /* "id" */
  int32_t intTn;               /* "tn" */
  int32_t sendMetadata;        /* non-zero: send the metadata even without features */
  int32_t sent;                /* set to 1 by Sonalyx once the song went into a packet */
} FESyncItem;

#pragma pack(pop)

#define FESYNCITEM_PTR ((size_t)sizeof(void*))
FESYNCITEM_STATIC_ASSERT(sizeof(FESyncItem) == 1 + 16 * FESYNCITEM_PTR + 10 * 4, "FESyncItem size");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, path) == 1, "FESyncItem.path");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, name) == 1 + 1 * FESYNCITEM_PTR, "FESyncItem.name");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, artist) == 1 + 2 * FESYNCITEM_PTR, "FESyncItem.artist");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, album) == 1 + 3 * FESYNCITEM_PTR, "FESyncItem.album");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textCp) == 1 + 4 * FESYNCITEM_PTR, "FESyncItem.textCp");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textCt) == 1 + 5 * FESYNCITEM_PTR, "FESyncItem.textCt");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textCd) == 1 + 6 * FESYNCITEM_PTR, "FESyncItem.textCd");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textLg) == 1 + 7 * FESYNCITEM_PTR, "FESyncItem.textLg");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, genre) == 1 + 8 * FESYNCITEM_PTR, "FESyncItem.genre");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textIk) == 1 + 9 * FESYNCITEM_PTR, "FESyncItem.textIk");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textMo) == 1 + 10 * FESYNCITEM_PTR, "FESyncItem.textMo");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textPd) == 1 + 11 * FESYNCITEM_PTR, "FESyncItem.textPd");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textPr) == 1 + 12 * FESYNCITEM_PTR, "FESyncItem.textPr");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textPb) == 1 + 13 * FESYNCITEM_PTR, "FESyncItem.textPb");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textSt) == 1 + 14 * FESYNCITEM_PTR, "FESyncItem.textSt");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, textWt) == 1 + 15 * FESYNCITEM_PTR, "FESyncItem.textWt");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, duration) == 1 + 16 * FESYNCITEM_PTR, "FESyncItem.duration");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, playCount) == 5 + 16 * FESYNCITEM_PTR, "FESyncItem.playCount");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, intYr) == 9 + 16 * FESYNCITEM_PTR, "FESyncItem.intYr");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, year) == 13 + 16 * FESYNCITEM_PTR, "FESyncItem.year");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, reserved) == 17 + 16 * FESYNCITEM_PTR, "FESyncItem.reserved");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, intBm) == 21 + 16 * FESYNCITEM_PTR, "FESyncItem.intBm");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, intId) == 25 + 16 * FESYNCITEM_PTR, "FESyncItem.intId");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, intTn) == 29 + 16 * FESYNCITEM_PTR, "FESyncItem.intTn");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, sendMetadata) == 33 + 16 * FESYNCITEM_PTR, "FESyncItem.sendMetadata");
FESYNCITEM_STATIC_ASSERT(offsetof(FESyncItem, sent) == 37 + 16 * FESYNCITEM_PTR, "FESyncItem.sent");
#undef FESYNCITEM_PTR
#undef FESYNCITEM_STATIC_ASSERT

#ifdef __cplusplus
}
#endif

#endif /* SONALYX_FESYNCITEM_H */
