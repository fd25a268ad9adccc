// The one-second logo window shown before the game starts.
#pragma once

// Shows the picture at logoPath (or the built-in one) with infoText (or the credit line) for one
// second, then destroys the window. Either argument may be null.
void showSplash(const char* logoPath, const char* infoText);
