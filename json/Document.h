// Binding a document to its file: opening, parsing and writing back.
#pragma once

#include "CJSON_Exp.h"

// Initialises document on path exactly as given (no configuration folder). The path is kept, not
// copied. A missing file is created empty when create is true. The object's record pointer is
// overwritten, never released: document is raw storage or a document about to be rebound.
void Open(CJSON_Exp& document, const char* path, bool create);

// Writes the record's whole document, from its root, to the record's path. The text goes to a new
// temporary file beside it, which then replaces the file (keeping its attributes); when that is
// refused, or no temporary file can be made there, the complete text is written into the file in
// place. False when the file was not written: it is read-only or a folder, the disk is full, memory
// ran out, a value has no text, or the text would pass 256 MiB (deep nesting grows it with the square
// of the depth). The file then keeps its old text, and the tree keeps every change.
bool WriteBack(const NodeRecord& record);
