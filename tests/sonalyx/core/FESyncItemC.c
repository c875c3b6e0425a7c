/* The shared record header compiles as C on its own, with its layout assertions, and the
 * Sonalyx boundary header beside it (both are C headers that C callers may include). */
#include "sonalyx/FESyncItem.h"
#include "sonalyx/Sonalyx.h"

/* Referenced so the translation unit is not empty. */
size_t sonalyxFESyncItemSizeFromC(void);
size_t sonalyxFESyncItemSizeFromC(void) { return sizeof(FESyncItem); }
