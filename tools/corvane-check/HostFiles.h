// The checker's file reads. Paths are written the launcher's way (".\mods\NAME\..."); on a host
// whose folders are separated by "/" they are turned into its own form just before each open.
#pragma once

#include "tools/corvane-check/FileFormats.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The parts of a relative path as Windows resolves it by its text alone: "\" and "/" separate, empty
// and "." parts go, ".." takes away the part before it, or stays when it climbs above the start.
std::vector<std::string> resolvedParts(const std::string& path);

// path as the host opens the file Windows would: unchanged on Windows; elsewhere every "\" becomes "/"
// and the ".", ".." and empty parts are resolved by their text first, as Windows resolves them (so
// "Addons\..\x.dll" names x.dll whether or not Addons exists).
std::string hostPath(const std::string& path);

// The file's first bytes, at most limit of them; false when the file cannot be opened for reading.
bool readFileBytes(const std::string& path, size_t limit, std::vector<unsigned char>& bytes);

enum class ArchiveLook { missing, unreadable, noHeader, header };
// Looks for an MPQ header at every multiple of kArchiveHeaderAlignment, as the archive library does; with
// one found, header holds it and length the file's bytes from it on.
ArchiveLook lookForArchiveHeader(const std::string& path, ArchiveHeader& header, uint64_t& length);

enum class PathKind { none, file, folder };
PathKind pathKind(const std::string& path);

// Whether a new file can be made in folder (a file is made and removed at once).
bool canMakeFiles(const std::string& folder);

// Where the platform's loader looks for a DLL that a module loaded by a relative path imports: the
// game folder (the launcher's), the system folders, the current folder (the game folder again) and the
// folders of PATH, in that order, each with a trailing separator.
struct SearchFolder {
  std::string path;
  bool system;  // a folder of the system's own DLLs
};
std::vector<SearchFolder> moduleSearchFolders();
