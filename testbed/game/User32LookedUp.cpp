// user32 without an import descriptor (the variant of Game.dll without a user32 import).

// The compiler calls every user32 function through its import slot "__imp__NAME@SIZE"; this file
// defines those slots itself and fills them from GetProcAddress, so the game's code is the same as
// with the import table and user32 is absent from it.
#include "testbed/game/ImportBinding.h"

#include <windows.h>

extern "C" {
FARPROC gSlotRegisterClassA __asm__("__imp__RegisterClassA@4") = nullptr;
FARPROC gSlotUnregisterClassA __asm__("__imp__UnregisterClassA@8") = nullptr;
FARPROC gSlotCreateWindowExA __asm__("__imp__CreateWindowExA@48") = nullptr;
FARPROC gSlotDestroyWindow __asm__("__imp__DestroyWindow@4") = nullptr;
FARPROC gSlotShowWindow __asm__("__imp__ShowWindow@8") = nullptr;
FARPROC gSlotUpdateWindow __asm__("__imp__UpdateWindow@4") = nullptr;
FARPROC gSlotSetWindowTextA __asm__("__imp__SetWindowTextA@8") = nullptr;
FARPROC gSlotGetWindowTextA __asm__("__imp__GetWindowTextA@12") = nullptr;
FARPROC gSlotDefWindowProcA __asm__("__imp__DefWindowProcA@16") = nullptr;
FARPROC gSlotPeekMessageA __asm__("__imp__PeekMessageA@20") = nullptr;
FARPROC gSlotTranslateMessage __asm__("__imp__TranslateMessage@4") = nullptr;
FARPROC gSlotDispatchMessageA __asm__("__imp__DispatchMessageA@4") = nullptr;
FARPROC gSlotMsgWaitForMultipleObjects __asm__("__imp__MsgWaitForMultipleObjects@20") = nullptr;
FARPROC gSlotLoadCursorA __asm__("__imp__LoadCursorA@8") = nullptr;
FARPROC gSlotLoadImageA __asm__("__imp__LoadImageA@24") = nullptr;
FARPROC gSlotGetIconInfo __asm__("__imp__GetIconInfo@8") = nullptr;
FARPROC gSlotDestroyIcon __asm__("__imp__DestroyIcon@4") = nullptr;
FARPROC gSlotBeginPaint __asm__("__imp__BeginPaint@8") = nullptr;
FARPROC gSlotEndPaint __asm__("__imp__EndPaint@8") = nullptr;
FARPROC gSlotGetClientRect __asm__("__imp__GetClientRect@8") = nullptr;
FARPROC gSlotDrawTextA __asm__("__imp__DrawTextA@20") = nullptr;
FARPROC gSlotInvalidateRect __asm__("__imp__InvalidateRect@12") = nullptr;
FARPROC gSlotAdjustWindowRect __asm__("__imp__AdjustWindowRect@12") = nullptr;
FARPROC gSlotFillRect __asm__("__imp__FillRect@12") = nullptr;
FARPROC gSlotDrawIconEx __asm__("__imp__DrawIconEx@36") = nullptr;
FARPROC gSlotGetDC __asm__("__imp__GetDC@4") = nullptr;
FARPROC gSlotReleaseDC __asm__("__imp__ReleaseDC@8") = nullptr;
}

namespace {
struct Slot {
  FARPROC* slot;
  const char* name;
};
const Slot kSlots[] = {
    {&gSlotRegisterClassA, "RegisterClassA"},
    {&gSlotUnregisterClassA, "UnregisterClassA"},
    {&gSlotCreateWindowExA, "CreateWindowExA"},
    {&gSlotDestroyWindow, "DestroyWindow"},
    {&gSlotShowWindow, "ShowWindow"},
    {&gSlotUpdateWindow, "UpdateWindow"},
    {&gSlotSetWindowTextA, "SetWindowTextA"},
    {&gSlotGetWindowTextA, "GetWindowTextA"},
    {&gSlotDefWindowProcA, "DefWindowProcA"},
    {&gSlotPeekMessageA, "PeekMessageA"},
    {&gSlotTranslateMessage, "TranslateMessage"},
    {&gSlotDispatchMessageA, "DispatchMessageA"},
    {&gSlotMsgWaitForMultipleObjects, "MsgWaitForMultipleObjects"},
    {&gSlotLoadCursorA, "LoadCursorA"},
    {&gSlotLoadImageA, "LoadImageA"},
    {&gSlotGetIconInfo, "GetIconInfo"},
    {&gSlotDestroyIcon, "DestroyIcon"},
    {&gSlotBeginPaint, "BeginPaint"},
    {&gSlotEndPaint, "EndPaint"},
    {&gSlotGetClientRect, "GetClientRect"},
    {&gSlotDrawTextA, "DrawTextA"},
    {&gSlotInvalidateRect, "InvalidateRect"},
    {&gSlotAdjustWindowRect, "AdjustWindowRect"},
    {&gSlotFillRect, "FillRect"},
    {&gSlotDrawIconEx, "DrawIconEx"},
    {&gSlotGetDC, "GetDC"},
    {&gSlotReleaseDC, "ReleaseDC"},
};
}  // namespace

bool bindUser32() {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) user32 = LoadLibraryA("user32.dll");
  bool all = user32 != nullptr;
  for (const Slot& s : kSlots) {
    *s.slot = user32 ? GetProcAddress(user32, s.name) : nullptr;
    all = all && *s.slot;
  }
  return all;
}

const char* user32Binding() {
  return "lookup";
}
