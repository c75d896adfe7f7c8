// Linked into the tests that run the browser engine, in the AddressSanitizer build only. Chromium's own code frees
// some objects with a size other than the one they were made with (new-delete-type-mismatch inside
// WebContentsAdapter) and keeps others on purpose until the process ends, which LeakSanitizer reports at exit.
// That one check is off and leaks made inside those libraries are suppressed; every other check stays on, and
// Lekto's own leaks stay reported. The options the environment sets still win.
extern "C" {

__attribute__((used, visibility("default"))) const char* __asan_default_options() {
  return "new_delete_type_mismatch=0";
}

__attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  // fontconfig's caches, which Chromium fills through it.
  return "leak:libQt6WebEngineCore\n"
         "leak:libfontconfig\n";
}

}  // extern "C"
