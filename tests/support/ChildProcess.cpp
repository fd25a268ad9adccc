// A child process with a time limit, for the tests and benchmarks that start programs.
#include "support/ChildProcess.h"

#include <cstring>

namespace {
constexpr DWORD kSliceMs = 50;  // how often output is read and the caller's poll runs

bool sameName(const std::string& entry, const std::string& name) {
  size_t equals = entry.find('=', 1);  // names like "=C:" start with '='
  return equals == name.size() && _strnicmp(entry.c_str(), name.c_str(), name.size()) == 0;
}

// The current environment with the given variables set or removed, as a block for CreateProcessA.
std::string environmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
  std::string block;
  char* current = GetEnvironmentStringsA();
  for (const char* entry = current; entry && *entry; entry += strlen(entry) + 1) {
    bool replaced = false;
    for (const auto& change : changes) replaced = replaced || sameName(entry, change.first);
    if (!replaced) block.append(entry).push_back('\0');
  }
  if (current) FreeEnvironmentStringsA(current);
  for (const auto& change : changes)
    if (!change.second.empty()) block.append(change.first + "=" + change.second).push_back('\0');
  block.push_back('\0');
  return block;
}

// Appends what the pipe holds now, without waiting for more.
void take(HANDLE pipe, std::string& text) {
  DWORD ready = 0;
  while (pipe && PeekNamedPipe(pipe, nullptr, 0, nullptr, &ready, nullptr) && ready > 0) {
    char chunk[4096];
    DWORD got = 0;
    if (!ReadFile(pipe, chunk, ready < sizeof chunk ? ready : sizeof chunk, &got, nullptr) || got == 0) return;
    text.append(chunk, got);
  }
}

// The program's file name and the arguments after it, for messages.
std::string programOf(const std::string& commandLine) {
  bool quoted = !commandLine.empty() && commandLine[0] == '"';
  size_t end = quoted ? commandLine.find('"', 1) : commandLine.find(' ');
  if (end == std::string::npos) end = commandLine.size();
  std::string program = commandLine.substr(quoted ? 1 : 0, end - (quoted ? 1 : 0));
  std::string rest = end < commandLine.size() ? commandLine.substr(end + (quoted ? 1 : 0)) : "";
  return program.substr(program.find_last_of("\\/") + 1) + rest;
}
}  // namespace

ChildProcess::~ChildProcess() {
  if (started() && !hasEnded) terminate(99);
  closeHandles();
}

bool ChildProcess::start(const std::string& commandLine, const ChildOptions& options) {
  command = commandLine;
  limit = options.limitMs;
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE outWrite = nullptr, errWrite = nullptr;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (options.captureOutput) {
    if (!CreatePipe(&outRead, &outWrite, &inherited, 0)) return false;
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);  // only the child's ends are inherited
    errWrite = outWrite;
    if (options.separateErrors) {
      if (!CreatePipe(&errRead, &errWrite, &inherited, 0)) return false;
      SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    }
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
  }
  std::string environment = environmentBlock(options.environment);
  std::string line = commandLine;
  BOOL created =
      CreateProcessA(nullptr, &line[0], nullptr, nullptr, options.captureOutput || options.inheritHandles, 0,
                     &environment[0], options.folder.empty() ? nullptr : options.folder.c_str(), &startup, &process);
  startError = created ? 0 : GetLastError();
  if (outWrite) CloseHandle(outWrite);
  if (errWrite && errWrite != outWrite) CloseHandle(errWrite);
  if (!created) process = {};
  deadline = GetTickCount64() + limit;
  return created != 0;
}

DWORD ChildProcess::remainingMs() const {
  ULONGLONG now = GetTickCount64();
  return now >= deadline ? 0 : (DWORD)(deadline - now);
}

void ChildProcess::drain() {
  take(outRead, out);
  take(errRead, err);
}

bool ChildProcess::waitFor(DWORD ms) {
  if (!started() || hasEnded) return hasEnded;
  for (;;) {
    DWORD slice = ms < kSliceMs ? ms : kSliceMs;
    if (remainingMs() < slice) slice = remainingMs();
    hasEnded = WaitForSingleObject(process.hProcess, slice) == WAIT_OBJECT_0;
    drain();
    if (hasEnded) {
      GetExitCodeProcess(process.hProcess, &code);
      return true;
    }
    ms -= slice;
    if (ms == 0 || remainingMs() == 0) return false;
  }
}

bool ChildProcess::finish(const std::function<void()>& poll) {
  while (started() && !hasEnded && remainingMs() > 0) {
    if (waitFor(kSliceMs)) break;
    if (poll) poll();
  }
  if (started() && !hasEnded) {
    hitLimit = true;
    terminate(99);
  }
  return hasEnded && !hitLimit;
}

bool ChildProcess::waitForObject(HANDLE object) {
  while (started() && !hasEnded && remainingMs() > 0) {
    HANDLE both[] = {object, process.hProcess};
    DWORD which = WaitForMultipleObjects(2, both, FALSE, remainingMs() < kSliceMs ? remainingMs() : kSliceMs);
    drain();
    if (which == WAIT_OBJECT_0) return true;
    if (which == WAIT_OBJECT_0 + 1) waitFor(0);
  }
  if (started() && !hasEnded) hitLimit = true;
  return false;
}

void ChildProcess::terminate(UINT exitCode) {
  if (!started() || hasEnded) return;
  TerminateProcess(process.hProcess, exitCode);
  // A terminated process ends at once; the wait is bounded all the same.
  hasEnded = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
  drain();
  GetExitCodeProcess(process.hProcess, &code);
}

std::string ChildProcess::failure() const {
  if (!started()) return "cannot start " + programOf(command) + ": error " + std::to_string(startError);
  if (!hitLimit && hasEnded) return "";
  std::string text = programOf(command) + (hitLimit ? " did not end within " + std::to_string(limit / 1000) +
                                                          " s and was ended (exit code " + std::to_string(code) + ")"
                                                    : " has not ended");
  if (!out.empty()) text += "; its output:\n" + out;
  if (!err.empty()) text += "\nits error output:\n" + err;
  return text;
}

void ChildProcess::closeHandles() {
  for (HANDLE* handle : {&process.hThread, &process.hProcess, &outRead, &errRead}) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
  }
}

ChildRun runChild(const std::string& commandLine, const ChildOptions& options) {
  ChildProcess child;
  child.start(commandLine, options);
  bool ended = child.finish();
  return {ended, child.exitCode(), child.output(), child.errors(), child.failure()};
}
