// Leak-checking settings of the player's test programs, built into them so that they hold
// however the tests are started (CTest's per-test environment carries only one variable
// through test discovery).
//
// GLib, loaded with GStreamer by the player plug-in, allocates process-lifetime buffers in
// its library constructor; telling them apart from Zarvell's own allocations needs full
// stacks (the slow unwinder: GLib has no frame pointers).
// (Visible: the sanitizer runtime finds them by name, and the build hides symbols.)
#define ZARVELL_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used))

ZARVELL_SANITIZER_HOOK const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0:malloc_context_size=40";
}
ZARVELL_SANITIZER_HOOK const char* __lsan_default_suppressions() { return "leak:_dl_init\n"; }
