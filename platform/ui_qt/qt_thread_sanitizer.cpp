// Built into the Qt programs and their tests under ThreadSanitizer only. Qt's image
// scaling and conversion split large images over Qt's own thread pool and wait on it with
// synchronisation inside Qt, which is not instrumented: the sanitizer sees the pool's
// threads touch memory without the waits and reports races that are not there.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so\n"
         "race:libQt6Gui.so\n"
         "race:libQt6Widgets.so\n";
}
