/* The names of Corvane.exe's picture resources, each the name of the file it is made from: one list for
   the resource script (Corvane.rc) and the code that loads them. Macros, since the resource compiler
   reads only those. */
#pragma once

#define CORVANE_SPLASH_BITMAP "CorvaneBitmap.bmp"
#define CORVANE_ICON "Corvane.ico"
#define CORVANE_CURSOR "CorvaneCursor.cur"
