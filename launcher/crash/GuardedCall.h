// A call that a fault cannot escape: the report is written under it, so that a second fault while
// writing ends the report, not the process's way out through the game's own handler.
#pragma once

// Calls function(argument) under an exception frame of its own, which turns any fault inside into a
// return: 1 when function returned, 0 when it faulted (the frames it had are abandoned).
extern "C" int guardedCall(void (*function)(void*), void* argument);
