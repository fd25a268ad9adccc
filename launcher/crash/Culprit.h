// Who crashed, in the player's words: which kind of module each address lies in, and the line that
// names the culprit ("The game crashed in ... at NAME+0xOFFSET: ...").
#pragma once

#include "launcher/crash/LoadedModules.h"
#include "launcher/crash/ReportLines.h"
#include "launcher/crash/StackTrace.h"

enum class ModuleRole { addon, game, launcher, archiveLibrary, system, other, none };

ModuleRole roleOf(const LoadedModule* module);

// "NAME+0xOFFSET", or the bare address outside every module.
void writePlace(ReportLines& out, const ModuleTable& modules, DWORD address);

// The first line of the report: where it crashed, the exception in words and, where the crash lies
// in a system DLL, Corvane or the archive library, the frame that most likely caused it.
void writeCulpritLine(ReportLines& out, const ModuleTable& modules, const EXCEPTION_RECORD& record,
                      const StackFrame* frames, size_t count);
