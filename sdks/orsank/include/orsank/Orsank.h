/* The tag-reading boundary: Orsank.so (loaded by the engine's tag scan) and Velmor.so
 * (loaded by Orsank for Windows Media files). Both sides include this header.
 *
 * Contract of both functions: `path` is a zero-terminated UTF-8 path; the four text
 * buffers are caller-owned, each at least kOrsankTextBufferSize bytes, and receive
 * zero-terminated UTF-8 texts cut at a character boundary (an empty text means "no
 * value"); `year` and `duration` (whole seconds) are caller-owned integers. A file that
 * cannot be read leaves the buffers empty and returns a negative status; no input makes
 * them crash or throw. */
#ifndef ZARVELL_ORSANK_H
#define ZARVELL_ORSANK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Size of each caller-owned text buffer; the reader writes at most 1024 bytes of text
 * plus the terminator. */
enum { kOrsankTextBufferSize = 1028, kOrsankTextMaxBytes = 1024 };

/* Orsank.so: tags of any supported audio file. 0 on success, negative on failure. */
typedef int32_t (*ExtractMetaDataFn)(const char* path, char* title, char* album, char* artist,
                                     char* genre, int32_t* year, int32_t* duration);

/* Velmor.so: tags of a Windows Media (ASF) file. 0 on success, negative on failure. */
typedef int32_t (*ExtractMetaDataWMFFn)(const char* path, char* title, char* album,
                                        char* author, char* genre, int32_t* year,
                                        int32_t* duration);

#ifdef __cplusplus
}
#endif

#endif
