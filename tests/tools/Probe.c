// The DLLs of corvane-check's import diagnostics, built without a C runtime: each exports EXPORTED (probe
// unless that is what it imports) and, with IMPORTED defined, calls that function of the DLL its import
// library names.
#ifndef EXPORTED
#define EXPORTED probe
#endif
#ifdef IMPORTED
__declspec(dllimport) void IMPORTED(void);
#endif
__declspec(dllexport) void EXPORTED(void) {
#ifdef IMPORTED
  IMPORTED();
#endif
}
