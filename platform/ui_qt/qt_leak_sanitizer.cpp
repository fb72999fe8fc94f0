// Built into the window tests under AddressSanitizer only. With the image format plugins
// loaded, LeakSanitizer's walk over the threads' dynamic TLS at exit meets an entry it
// cannot read and crashes (signal 11 in its tracer) after every case passed. Leaving TLS
// out of the walk avoids that; the one block then seen as lost is glib's per-thread data
// for Qt's event dispatcher, which lives in TLS by design.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }

extern "C" const char* __lsan_default_suppressions() { return "leak:libglib-2.0.so\n"; }
