// A child process with a time limit: started with a command line, a working folder and extra
// environment variables, waited for in bounded slices, and ended when it outlives its limit.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct ChildOptions {
  std::string folder;                                            // empty: the current folder
  std::vector<std::pair<std::string, std::string>> environment;  // set for the child; an empty value removes
  bool captureOutput = false;   // standard output (and error, unless separately) read through a pipe
  bool separateErrors = false;  // standard error read apart, into errors
  bool inheritHandles = false;  // the child inherits every inheritable handle (events passed by number)
  DWORD limitMs = 300000;       // from the start until the child is ended
};

class ChildProcess {
public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();  // ends a child still running and closes every handle

  bool start(const std::string& commandLine, const ChildOptions& options = {});
  // Waits until the child ends, at most ms and never past its limit; reads its output meanwhile.
  // True once it has ended.
  bool waitFor(DWORD ms);
  // Waits until the child ends or its limit passes (then ends it), calling poll between slices.
  // True when it ended by itself.
  bool finish(const std::function<void()>& poll = {});
  // Waits until object is signalled (true), the child ends or the limit passes (false).
  bool waitForObject(HANDLE object);
  void terminate(UINT exitCode);

  HANDLE handle() const { return process.hProcess; }
  DWORD id() const { return process.dwProcessId; }
  bool started() const { return process.hProcess != nullptr; }
  bool ended() const { return hasEnded; }
  bool timedOut() const { return hitLimit; }
  bool withinLimit() const { return remainingMs() > 0; }
  DWORD exitCode() const { return code; }
  const std::string& output() const { return out; }
  const std::string& errors() const { return err; }
  // Empty when the child ran and ended by itself; else what went wrong, naming the program, with its
  // exit code and whatever output it gave.
  std::string failure() const;

private:
  void drain();
  DWORD remainingMs() const;
  void closeHandles();

  std::string command;
  PROCESS_INFORMATION process = {};
  HANDLE outRead = nullptr, errRead = nullptr;
  ULONGLONG deadline = 0;
  DWORD limit = 0;
  DWORD startError = 0;
  bool hasEnded = false, hitLimit = false;
  DWORD code = STILL_ACTIVE;
  std::string out, err;
};

// Runs commandLine to its end (or its limit); the finished child, for exitCode(), output(), failure().
// Typical use: EXPECT_EQ(run.failure(), "") and then the exit code.
struct ChildRun {
  bool ended;
  DWORD exitCode;
  std::string output, errors, failure;
};
ChildRun runChild(const std::string& commandLine, const ChildOptions& options = {});
