// Writing the report of a crash: the text into Crashes\ of the game folder (or, where that cannot be
// written, %LOCALAPPDATA%\Corvane\Crashes), then the minidump beside it.
#pragma once

#include "launcher/crash/CrashState.h"

#include <dbghelp.h>

// Runs on the crashed thread (or a fiber of it) with stack to spare; allocates nothing before the
// minidump and gives up on the text after a few seconds. Takes a const Crash*.
void writeCrashReport(void* crash);

// The minidump writer and the symbol handler set-up of dbghelp.dll, looked up when the report is armed;
// null when it is missing.
using MiniDumpWriter = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                     PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);
using SymbolInitializer = BOOL(WINAPI*)(HANDLE, const char*, BOOL);
extern MiniDumpWriter gMiniDumpWriteDump;
extern SymbolInitializer gSymInitialize;
