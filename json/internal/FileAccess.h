// The documents' few file-system calls, kept in one place so the rest builds on any platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
const char* const kConfigFolder = "Configs";       // made by every exported constructor
const char* const kConfigPrefix = ".\\configs\\";  // add-on documents live under it (same folder: no case)
#else
const char* const kConfigFolder = "configs";  // case matters here: the folder the prefix names
const char* const kConfigPrefix = "./configs/";
#endif

// Whether anything (file or folder) exists at path.
bool pathExists(const char* path);

// Creates one folder; an existing folder or any failure is ignored.
void makeFolder(const char* path);

// What a write-back needs to know of the file it replaces.
struct TargetFacts {
  bool writable;        // false for a read-only file and for a folder: such a target is never written
  unsigned attributes;  // what a replacement must carry over (hidden and system; the POSIX mode)
};
TargetFacts targetFacts(const char* path);

// A file open for writing: a Windows handle or a POSIX descriptor.
struct OutputFile {
  intptr_t system;
};

const unsigned kTemporaryNameTries = 16;  // fresh names tried before the folder counts as refusing

// Creates a new, empty file beside path under a name that no file had (path, a dot, the process and
// a count, ".tmp"), with the given attributes; its name goes to name. False when the folder takes no
// new file there.
bool createTemporary(const char* path, unsigned attributes, std::string& name, OutputFile& file);

// The name a temporary file beside path is tried under after ahead more tries from now, if no file
// has it by then.
std::string nextTemporaryName(const char* path, unsigned ahead = 0);

// Removes the temporary files beside path that processes which no longer run left there (a process
// killed in a write-back), and no other file: not those of running processes, nor names of another form.
void removeStaleTemporaries(const char* path);

// Opens the file at path (making it when missing) to be rewritten in place, keeping other writers out
// while it is. False when it cannot be written.
bool openInPlace(const char* path, OutputFile& file);

bool sizeOf(OutputFile file, uint64_t& size);
bool seekTo(OutputFile file, uint64_t offset);
// Ends the file at size bytes.
bool cutAt(OutputFile file, uint64_t size);
bool writeBytes(OutputFile file, const char* bytes, size_t size);
// Sends what was written to the disk itself, so that a power cut cannot lose it.
bool flushFile(OutputFile file);
bool closeFile(OutputFile file);
void removeFile(const char* path);

// Puts the complete temporary file, still open, in the place of path, replacing it. False when that is
// refused (path held open, say); both files are then as they were.
bool putInPlace(OutputFile file, const char* temporary, const char* path);

// Waits that many milliseconds.
void pauseFor(unsigned milliseconds);
