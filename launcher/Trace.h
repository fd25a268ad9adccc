// Opt-in start-up trace: one plain-text line per step, appended to the file named by CORVANE_TRACE.
#pragma once

// printf-style; does nothing, and touches no file, when CORVANE_TRACE is unset or empty.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
