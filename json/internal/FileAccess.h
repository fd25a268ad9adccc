// The documents' few file-system calls, kept in one place so the rest builds on any platform.
#pragma once

#include <cstddef>

#ifdef _WIN32
const char* const kConfigFolder = "Configs";        // made by every exported constructor
const char* const kConfigPrefix = ".\\configs\\";   // add-on documents live under it (same folder: no case)
#else
const char* const kConfigFolder = "configs";        // case matters here: the folder the prefix names
const char* const kConfigPrefix = "./configs/";
#endif

// Whether anything (file or folder) exists at path.
bool pathExists(const char* path);

// Creates one folder; an existing folder or any failure is ignored.
void makeFolder(const char* path);

// Replaces the whole content of the file at path with size bytes. The bytes go to a temporary file
// beside it first, which then takes the file's place, so the file never holds a partial text; only
// when no temporary file can be made there is the file rewritten in place. A read-only file is left
// alone. False when the file could not be replaced (it keeps its old content, apart from a failed
// in-place write).
bool replaceFile(const char* path, const char* bytes, size_t size);
