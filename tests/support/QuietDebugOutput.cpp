// GoogleTest copies every failure to OutputDebugStringA, which raises a debug-print exception; where
// Wine itself runs under an emulator that exception ends the process, so the test programs bind that
// import to a function that does nothing instead (the failure is printed to stdout all the same).
#include <windows.h>

extern "C" {
static void WINAPI quietOutputDebugString(LPCSTR) {}
// The import slot that calls to ::OutputDebugStringA go through.
void(WINAPI* importOutputDebugStringA)(LPCSTR) __asm__("__imp__OutputDebugStringA@4") = quietOutputDebugString;
}
