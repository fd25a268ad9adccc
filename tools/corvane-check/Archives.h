// The archives a mod runs with, as the checker sees inside them: whether each opens, the names its
// listfile gives, and which archive serves a name that several hold.
#pragma once

#include <string>
#include <vector>

enum class ArchiveKind {
  mod,     // named by the manifest, opened by the launcher at the priority it computes
  engine,  // Corvane.mpq, opened by the launcher at kEngineArchivePriority
  game,    // the game's own, opened by the game at priorities it chooses
};

struct ArchiveFacts {
  std::string name;  // the file name the findings and conflicts use: "data.mpq"
  std::string path;  // as the launcher or the game opens it
  ArchiveKind kind;
  unsigned priority;                    // not used for the game's archives
  const char* error = nullptr;          // null when it opens; else "missing", "unreadable", "not an archive",
                                        // "damaged tables" or "a later MPQ format"
  std::string detail;                   // more about the error, in parentheses in the finding
  unsigned formatVersion = 0;           // of its header, from 1; 0 without one
  bool listfile = false;                // it holds a readable "(listfile)"
  bool listfileHeld = false;            // it holds a "(listfile)", readable or not
  std::vector<std::string> files;       // the names its listfile gives that it holds, without internal files
  std::vector<std::string> unreadable;  // those of them whose copy the library does not read
};

// Looks at the file at facts.path, opens it with the archive library when the game's library would, and
// fills in the rest of facts. With verify, every file held is read whole, so that a copy the library
// cannot read is known.
void readArchive(ArchiveFacts& facts, bool verify);

// Names compare as the libraries hash them: ASCII letters without regard to case, "/" as "\".
std::string nameKey(const std::string& name);

// The files its listfile gives, one per name that differs other than in letter case or slash direction.
std::vector<std::string> listedNames(const std::string& listfile);

// A name held by more than one archive, at least one of them the launcher's.
struct Conflict {
  std::string file;            // as the winner's listfile spells it
  size_t winner;               // the launcher's archive that serves it (index into the archives)
  std::vector<size_t> hidden;  // the launcher's other archives holding it, in search order
  std::vector<size_t> game;    // the game's archives holding it: which of them serves it is the game's choice
};

// The conflicts among archives (in the order they are opened), by name. The launcher's archives are
// searched from the highest priority down, the later-opened first among equal priorities.
std::vector<Conflict> findConflicts(const std::vector<ArchiveFacts>& archives);
