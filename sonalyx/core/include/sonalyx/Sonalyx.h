/* Sonalyx: the audio-analysis module's boundary with the engine.
 *
 * The engine loads "Sonalyx" by name, resolves Init, GetFeatures and Destroy, creates one
 * analysis context per extraction run, hands it every song of the run in one GetFeatures
 * call and destroys the context afterwards. This header holds everything both sides see:
 * the packed records (FESyncItem in its own header, which the engine's interface shares),
 * the callback and entry-point types, flags and status codes. It is usable from C and C++.
 *
 * Records are packed (no padding), little-endian, fields in a fixed order. Pointer fields
 * have the native width; the static assertions below pin every offset in terms of
 * sizeof(void*) so that either side can be rebuilt alone. Texts are zero-terminated UTF-16
 * (char16_t). */
#ifndef SONALYX_SONALYX_H
#define SONALYX_SONALYX_H

#include <stddef.h>
#include <stdint.h>

#include "sonalyx/FESyncItem.h"
#include "zarvell/status.h"

#ifdef __cplusplus
#define SONALYX_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#include <uchar.h>
#define SONALYX_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Number of features per song, characters of a sample hash, songs per community chunk. */
#define SONALYX_FEATURE_COUNT 72
#define SONALYX_HASH_CHARS 32
#define SONALYX_CHUNK_SIZE 25
/* Samples of the analysis buffer: 30 seconds of 16-bit mono at 22,050 Hz. */
#define SONALYX_SAMPLE_CAPACITY 661500
#define SONALYX_SAMPLE_RATE 22050

/* GetFeatures flags: bit 0 asks the community server for features of unknown songs,
 * bit 1 uploads newly computed features. The engine passes both. */
#define SONALYX_FLAG_DOWNLOAD 0x1
#define SONALYX_FLAG_UPLOAD 0x2

/* Module and entry-point names, as the engine resolves them. */
#define SONALYX_MODULE_NAME "Sonalyx"
#define SONALYX_INIT_NAME "Init"
#define SONALYX_GETFEATURES_NAME "GetFeatures"
#define SONALYX_DESTROY_NAME "Destroy"

#pragma pack(push, 1)

/* One song's answer, caller-allocated, same index as the song. */
typedef struct FeatureResult {
  float features[SONALYX_FEATURE_COUNT]; /* valid only when hasFeatures is 1 */
  char md5[SONALYX_HASH_CHARS + 1];      /* sample hash, lower-case hex; "" when none */
  uint8_t hasFeatures;                   /* 1: analysed, downloaded or known to the engine */
  uint8_t known;                         /* 1: the engine already holds features for md5 */
  int32_t mediaSeconds;                  /* whole song length from the decoder; 0 on failure */
} FeatureResult;

/* Progress of one GetFeatures call, filled afresh (zeroed) before every report. */
typedef struct ProgressRecord {
  int32_t current;
  int32_t total;                 /* number of songs in the call */
  char16_t text[512];            /* up to 511 UTF-16 characters and a terminating zero */
  int32_t hashed;                /* songs the hash stage has processed */
  int32_t skipped;               /* songs known to the engine or without a hash */
  int32_t analysed;              /* songs the analysis stage has taken */
  int32_t pending;               /* songs queued for analysis minus analysed */
} ProgressRecord;

#pragma pack(pop)

/* Callbacks. All return a 32-bit status; negative means failure.
 * ProgressFn: called on the thread that called GetFeatures; negative asks to cancel.
 * LookupFn: called on the hash worker's thread; returns 0 (and may set known) when the
 *   engine already has features for result->md5, else a negative status.
 * StoreFn: kept in the context, never called by Sonalyx. */
typedef int32_t (*SonalyxProgressFn)(void* handle, void* progressContext,
                                     ProgressRecord* progress);
typedef int32_t (*SonalyxLookupFn)(void* handle, void* callbackContext, FeatureResult* result);
typedef int32_t (*SonalyxStoreFn)(void* handle, void* callbackContext, FeatureResult* result);

/* Entry points.
 * Init: always 0; writes the new context handle (null when allocation failed).
 * GetFeatures: E_HANDLE for a null handle; E_ABORT when cancelled; otherwise the status of
 *   the last community exchange of the call, or -1 when none was made.
 * Destroy: E_FAIL for a null handle, else frees the context and returns 0. */
typedef int32_t (*SonalyxInitFn)(void** outHandle, SonalyxProgressFn progress,
                                 void* progressContext, SonalyxLookupFn lookup,
                                 SonalyxStoreFn store, void* callbackContext);
typedef int32_t (*SonalyxGetFeaturesFn)(void* handle, FESyncItem* items, int32_t count,
                                        FeatureResult* results, int32_t flags);
typedef int32_t (*SonalyxDestroyFn)(void* handle);

#define SONALYX_PTR ((size_t)sizeof(void*))
SONALYX_STATIC_ASSERT(sizeof(FeatureResult) == 327, "FeatureResult size");
SONALYX_STATIC_ASSERT(offsetof(FeatureResult, features) == 0, "FeatureResult.features");
SONALYX_STATIC_ASSERT(offsetof(FeatureResult, md5) == 288, "FeatureResult.md5");
SONALYX_STATIC_ASSERT(offsetof(FeatureResult, hasFeatures) == 321, "FeatureResult.hasFeatures");
SONALYX_STATIC_ASSERT(offsetof(FeatureResult, known) == 322, "FeatureResult.known");
SONALYX_STATIC_ASSERT(offsetof(FeatureResult, mediaSeconds) == 323, "FeatureResult.mediaSeconds");

SONALYX_STATIC_ASSERT(sizeof(ProgressRecord) == 1048, "ProgressRecord size");
SONALYX_STATIC_ASSERT(offsetof(ProgressRecord, current) == 0, "ProgressRecord.current");
SONALYX_STATIC_ASSERT(offsetof(ProgressRecord, total) == 4, "ProgressRecord.total");
SONALYX_STATIC_ASSERT(offsetof(ProgressRecord, text) == 8, "ProgressRecord.text");
SONALYX_STATIC_ASSERT(offsetof(ProgressRecord, hashed) == 1032, "ProgressRecord.hashed");
SONALYX_STATIC_ASSERT(offsetof(ProgressRecord, skipped) == 1036, "ProgressRecord.skipped");
SONALYX_STATIC_ASSERT(offsetof(ProgressRecord, analysed) == 1040, "ProgressRecord.analysed");
SONALYX_STATIC_ASSERT(offsetof(ProgressRecord, pending) == 1044, "ProgressRecord.pending");
#undef SONALYX_PTR

#ifdef __cplusplus
}
#endif

#endif /* SONALYX_SONALYX_H */
