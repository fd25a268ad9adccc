// corvane-check.exe run as a child process with its output read through pipes.
#include "tools/CheckRun.h"

#include <windows.h>

// <build>\bin\, this program's own folder, with a trailing backslash.
static std::string binFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string buildFile(const std::string& relative) {
  return binFolder() + "..\\" + relative;
}

void makeFolders(const std::string& path) {
  for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

// Under emulated Wine a new process now and then stalls before it runs: such a run is ended after
// this many rounds of polling and made once more. A checker that hangs hangs twice and fails.
const int kPollRounds = 1200;
const DWORD kPollMilliseconds = 100;
const int kAttempts = 2;

// Appends what the pipe holds now, without waiting for more.
static void take(HANDLE pipe, std::string& text) {
  DWORD ready = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &ready, nullptr) && ready > 0) {
    char chunk[4096];
    DWORD got = 0;
    if (!ReadFile(pipe, chunk, ready < sizeof chunk ? ready : sizeof chunk, &got, nullptr) || got == 0) return;
    text.append(chunk, got);
  }
}

// One run with its output read while it goes on; run.ended is false when it could not be started or
// did not end within the rounds (it is then ended here).
static void runOnce(std::string commandLine, CheckRun& run) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE outRead, outWrite, errorRead, errorWrite;
  if (!CreatePipe(&outRead, &outWrite, &inherited, 0)) return;
  if (!CreatePipe(&errorRead, &errorWrite, &inherited, 0)) return;
  // Only the child's ends are inherited.
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errorRead, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = outWrite;
  startup.hStdError = errorWrite;
  PROCESS_INFORMATION process = {};
  bool started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &process) != 0;
  CloseHandle(outWrite);
  CloseHandle(errorWrite);
  if (started) {
    std::string out;
    for (int round = 0; !run.ended && round < kPollRounds; ++round) {
      run.ended = WaitForSingleObject(process.hProcess, kPollMilliseconds) == WAIT_OBJECT_0;
      take(outRead, out);
      take(errorRead, run.errorOutput);
    }
    if (!run.ended) TerminateProcess(process.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.exitCode = static_cast<int>(code);
    run.lines = linesOf(out);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(outRead);
  CloseHandle(errorRead);
}

CheckRun runCheck(const std::vector<std::string>& arguments) {
  std::string commandLine = "\"" + binFolder() + "corvane-check.exe\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  CheckRun run;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    run = {false, -1, {}, {}};
    runOnce(commandLine, run);
    if (run.ended) break;
  }
  return run;
}
