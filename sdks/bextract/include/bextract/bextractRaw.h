/* bextractRaw: Zarvell's audio feature library (libbextractRaw.so).
 *
 * Computes the 72 audio features of one window of signed 16-bit mono PCM at 22,050 Hz
 * (30 s = 661,500 samples as the analysis worker hands it over): positions 0-63 are the
 * timbre texture statistics (Mean/Std of Acc1298 over Mean/Std of Mem40 of Centroid,
 * Rolloff, Flux, MFCC_0..12), positions 64-71 the beat histogram values (BH_LowPeakAmp,
 * BH_LowPeakBPM, BH_HighPeakAmp, BH_HighPeakBPM, BH_HighLowRatio, BHSUM1, BHSUM2, BHSUM3).
 *
 * Contract:
 * - constructMarSystems() prepares the FFT plans and work buffers; call it once before the
 *   first bextractRaw(). It returns non-zero on success, 0 when set-up failed (then
 *   bextractRaw() fails too). Set-up is shared and counted: every successful call is paired
 *   with one destroyMarSystems(), and the last tear-down frees the resources, so two users
 *   in one process never tear down each other's extractor.
 * - bextractRaw() may be called from any thread (calls are serialised inside). It never
 *   throws and never crashes on bad arguments: it returns 0 (failure) for a null output or
 *   produced pointer, a null sample pointer with a positive count, a negative sample count,
 *   a capacity below 72 or a library that is not set up, and *produced is then 0. On
 *   success it returns 1, writes exactly 72 floats to output and sets *produced = 72. Any
 *   sample count >= 0 is accepted (0 with a null pointer included): short inputs are padded
 *   with silence; longer inputs are analysed over their first 664,576 samples (1298 frames)
 *   for the timbre part and as a whole for the beat histogram.
 * - destroyMarSystems() ends one set-up (freeing everything with the last one); returns 1.
 *   Safe to call when nothing is set up.
 */
#ifndef BEXTRACT_BEXTRACTRAW_H
#define BEXTRACT_BEXTRACTRAW_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Number of values bextractRaw() produces. */
#define BEXTRACT_FEATURE_COUNT 72

int constructMarSystems(void);
int bextractRaw(const int16_t* samples, int sampleCount, float* output, int outputCapacity,
                int* produced);
int destroyMarSystems(void);

/* Function-pointer types, for callers that resolve the entry points themselves. */
typedef int (*BextractConstructFn)(void);
typedef int (*BextractRawFn)(const int16_t* samples, int sampleCount, float* output,
                             int outputCapacity, int* produced);
typedef int (*BextractDestroyFn)(void);

#ifdef __cplusplus
}
#endif

#endif
