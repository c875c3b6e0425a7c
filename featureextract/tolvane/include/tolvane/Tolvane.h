/* Tolvane.so: decodes a window of a song to PCM (signed 16-bit, mono, 22,050 Hz).
 *
 * The boundary between the decoder module Tolvane and its callers (Sonalyx). Callers load
 * "Tolvane" by name and resolve the three entry points below with dlsym; the typedefs are
 * the types to cast them to. Usable from C and C++. No function throws; each returns a
 * status from "zarvell/status.h" (0 for success, negative for failure).
 *
 * InitEngine()  -> 0, or ZARVELL_E_FAIL when the decoding runtime cannot be started.
 *                  Reference counted: every successful call is paired with one CloseEngine().
 * CloseEngine() -> 0. Releases one reference taken by InitEngine() (extra calls are harmless).
 *                  Both are serialised by a process-wide mutex and may be called from any
 *                  thread. ConvertToWave() also works without InitEngine().
 *
 * ConvertToWave(path, buffer, capacity, startSeconds, lengthSeconds, sampleCount,
 *               mediaSeconds)
 *   path          NUL-terminated UTF-16 path of the song file.
 *   buffer        caller's sample buffer of `capacity` 16-bit samples; Tolvane never writes
 *                 more than `capacity` samples.
 *   startSeconds, lengthSeconds
 *                 the wanted window. When the song is shorter than start + length (and its
 *                 length is known), the start moves back to (song seconds - length), not
 *                 below 0, so that a short song still yields its last `length` seconds.
 *   sampleCount   out: samples written (0 on every failure). May be null.
 *   mediaSeconds  out: length of the whole song in whole seconds (0 when unknown). May be
 *                 null.
 *   Returns 0 on success, ZARVELL_E_FAIL on every failure: null/empty path, a protected
 *   ".M4P" file (any case), a file that cannot be opened or has no audio stream, a decoder
 *   error, no samples in the window, invalid arguments (null buffer, capacity <= 0,
 *   negative start, length <= 0).
 */
#ifndef TOLVANE_TOLVANE_H
#define TOLVANE_TOLVANE_H

#include <stdint.h>

#include "zarvell/status.h"

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

typedef int32_t (*TolvaneInitEngineFn)(void);
typedef int32_t (*TolvaneCloseEngineFn)(void);
typedef int32_t (*TolvaneConvertToWaveFn)(const char16_t* path, int16_t* buffer, int32_t capacity,
                                          int32_t startSeconds, int32_t lengthSeconds,
                                          int32_t* sampleCount, int32_t* mediaSeconds);

/* Names of the entry points, for dlsym. */
#define TOLVANE_MODULE_NAME "Tolvane"
#define TOLVANE_INIT_ENGINE "InitEngine"
#define TOLVANE_CLOSE_ENGINE "CloseEngine"
#define TOLVANE_CONVERT_TO_WAVE "ConvertToWave"

/* Output format of every decoder module. */
#ifndef ZARVELL_DECODER_SAMPLE_RATE
#define ZARVELL_DECODER_SAMPLE_RATE 22050
#endif

#ifdef __cplusplus
}
#endif

#endif
