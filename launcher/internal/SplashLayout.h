// The splash window's text and geometry rules, apart from the window so that they can be checked alone.
#pragma once

#include <windows.h>

constexpr int kSplashWidth = 500;  // the window, and the built-in picture, are this size
constexpr int kSplashHeight = 400;
constexpr COLORREF kSplashTextColour = RGB(240, 200, 0);

// Shown when the mod gives no text of its own.
constexpr char kSplashCredit[] = "Corvane - a Warcraft III mod launcher";

// A heap copy of text (release it with free) in which every two-character sequence backslash, n
// becomes a space and a line feed; a copy of the credit line when text is null. Null if out of memory.
char* prepareSplashText(const char* text);

// 1 + the number of line feeds in text.
int splashTextLines(const char* text);

// The area the text is drawn into: the client rectangle with its top edge at 391 - 16 * lines.
RECT splashTextRect(const RECT& client, int lines);

// The window's top-left corner, centred on a desktop client rectangle (halves truncated toward zero).
POINT splashOrigin(const RECT& desktop);
