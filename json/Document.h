// Binding a document to its file: opening, parsing and writing back.
#pragma once

#include "CJSON_Exp.h"

// Initialises document on path exactly as given (no configuration folder). The path is kept, not
// copied. A missing file is created empty when create is true.
void Open(CJSON_Exp& document, const char* path, bool create);
