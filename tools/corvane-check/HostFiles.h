// The checker's file reads. Paths are written the launcher's way (".\mods\NAME\..."); on a host
// whose folders are separated by "/" they are turned into its own form just before each open.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// path with every "\" turned into "/" where the host needs it; unchanged on Windows.
std::string hostPath(const std::string& path);

// The file's first bytes, at most limit of them; false when the file cannot be opened for reading.
bool readFileBytes(const std::string& path, size_t limit, std::vector<unsigned char>& bytes);

enum class ArchiveLook { missing, unreadable, noHeader, header };
// Looks for an MPQ header at every multiple of kArchiveHeaderAlignment, as the archive library does.
ArchiveLook lookForArchiveHeader(const std::string& path);
