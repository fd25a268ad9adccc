// Binding a document to its file: opening, parsing and writing back.
#pragma once

#include "CJSON_Exp.h"

// Initialises document on path exactly as given (no configuration folder). The path is kept, not
// copied. A missing file is created empty when create is true. The object's record pointer is
// overwritten, never released: document is raw storage or a document about to be rebound.
void Open(CJSON_Exp& document, const char* path, bool create);

// Writes the record's whole document, from its root, to the record's path; the file is replaced
// only by a complete text. False when the file could not be replaced, or when the text would pass
// 256 MiB (deep nesting grows it with the square of the depth): the tree keeps every change.
bool WriteBack(const NodeRecord& record);
