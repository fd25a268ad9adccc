// Linked into the sanitized build only: the manifest document and the plan's paths are kept to the
// end, as the launcher keeps them, so leak reports at exit are turned off.
extern "C" const char* __asan_default_options() {
  return "detect_leaks=0";
}
