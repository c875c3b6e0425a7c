/* Pradix.so: decodes a window of a song to PCM (signed 16-bit, mono, 22,050 Hz) through a
 * GStreamer pipeline.
 *
 * The boundary between the decoder module Pradix and its callers (Sonalyx). Callers load
 * "Pradix" by name and resolve ExtractAudioDS with dlsym; the typedef is the type to cast it
 * to. Usable from C and C++. The function never throws and returns a status from
 * "zarvell/status.h" (0 for success, negative for failure).
 *
 * ExtractAudioDS(path, buffer, capacity, startSeconds, lengthSeconds, timeoutMs,
 *                sampleCount, mediaSeconds)
 *   path          NUL-terminated UTF-16 path of the song file.
 *   buffer        caller's sample buffer of `capacity` 16-bit samples; Pradix never writes
 *                 more than `capacity` samples. Decoding stops when the buffer is full.
 *   startSeconds, lengthSeconds
 *                 the wanted window [start, start + length). When the song's duration D is
 *                 known and D < start + length, the end becomes D and the start moves back
 *                 by the same amount, not below 0.
 *   timeoutMs     upper bound, in milliseconds, on the whole decode (opening, seeking and
 *                 decoding); when it passes, the call stops with ZARVELL_E_ABORT.
 *   sampleCount   out: samples written (also set when the call fails). May be null.
 *   mediaSeconds  out: the song's duration truncated to whole seconds (0 when unknown). May
 *                 be null.
 *   Returns 0 when the window was decoded to its end (or the buffer filled);
 *   ZARVELL_E_FAIL for a null path, a protected ".M4P" file (any case), a file that is not a
 *   readable regular file, a file that cannot be decoded or has no audio;
 *   ZARVELL_E_ABORT when the time-out passed; ZARVELL_E_INVALIDARG for a null buffer,
 *   capacity <= 0, negative start, length <= 0 or a negative time-out;
 *   ZARVELL_E_UNEXPECTED when the GStreamer runtime or one of its elements is missing.
 *   Callers treat a negative status or a zero sample count as failure.
 */
#ifndef PRADIX_PRADIX_H
#define PRADIX_PRADIX_H

#include <stdint.h>

#include "zarvell/status.h"

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

typedef int32_t (*PradixExtractAudioDSFn)(const char16_t* path, int16_t* buffer, int32_t capacity,
                                          int32_t startSeconds, int32_t lengthSeconds,
                                          int32_t timeoutMs, int32_t* sampleCount,
                                          int32_t* mediaSeconds);

/* Names of the module and its entry point, for dlsym. */
#define PRADIX_MODULE_NAME "Pradix"
#define PRADIX_EXTRACT_AUDIO_DS "ExtractAudioDS"

/* Output format of every decoder module. */
#ifndef ZARVELL_DECODER_SAMPLE_RATE
#define ZARVELL_DECODER_SAMPLE_RATE 22050
#endif

#ifdef __cplusplus
}
#endif

#endif
