// An exception in words: "access violation writing 0x00000008", "stack overflow", "C++ exception
// std::runtime_error" (the type read from the thrower's own type information).
#pragma once

#include "launcher/crash/ReportLines.h"

#include <windows.h>

void describeException(ReportLines& out, const EXCEPTION_RECORD& record);
