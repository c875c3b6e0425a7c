/* Status codes shared by every Zarvell module boundary.
 *
 * Modules return 32-bit status values: 0 for success, the negative values below for
 * failure. The values are the well-known COM status codes (E_FAIL 0x80004005, E_ABORT
 * 0x80004004, ...), so that every module's logs and stored results name a failure with
 * the same number. Usable from C and C++. */
#ifndef ZARVELL_STATUS_H
#define ZARVELL_STATUS_H

#include <stdint.h>

#define ZARVELL_S_OK ((int32_t)0)
#define ZARVELL_E_FAIL ((int32_t)0x80004005u)
#define ZARVELL_E_ABORT ((int32_t)0x80004004u)
#define ZARVELL_E_HANDLE ((int32_t)0x80070006u)
#define ZARVELL_E_UNEXPECTED ((int32_t)0x8000FFFFu)
#define ZARVELL_E_INVALIDARG ((int32_t)0x80070057u)

/* Marks a function or class as part of a module's exported interface; every other symbol
 * of a module is hidden. */
#define ZARVELL_EXPORT __attribute__((visibility("default")))

#endif
