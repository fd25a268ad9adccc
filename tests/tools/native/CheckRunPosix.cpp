// The native corvane-check run as a child process with its output read through pipes.
#include "tools/CheckRun.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

std::string buildFile(const std::string& relative) {
  return std::string(CHECK_BUILD_TREE) + "/" + relative;
}

void makeFolders(const std::string& path) {
  for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
    if (at > 0) mkdir(path.substr(0, at).c_str(), 0777);
  mkdir(path.c_str(), 0777);
}

static std::string drain(int pipe) {
  std::string text;
  char chunk[4096];
  ssize_t got;
  while ((got = read(pipe, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
  return text;
}

CheckRun runCheck(const std::vector<std::string>& arguments) {
  CheckRun run = {false, -1, {}, {}};
  int out[2], error[2];
  if (pipe(out) != 0) return run;
  if (pipe(error) != 0) return run;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(CHECK_PROGRAM));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    dup2(error[1], 2);
    close(out[0]);
    close(out[1]);
    close(error[0]);
    close(error[1]);
    execv(CHECK_PROGRAM, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(error[1]);
  if (child > 0) {
    // The error pipe carries at most a line, so reading the output first cannot stall the child.
    run.lines = linesOf(drain(out[0]));
    run.errorOutput = drain(error[0]);
    int status = 0;
    run.ended = waitpid(child, &status, 0) == child && WIFEXITED(status);
    run.exitCode = run.ended ? WEXITSTATUS(status) : -1;
  }
  close(out[0]);
  close(error[0]);
  return run;
}
