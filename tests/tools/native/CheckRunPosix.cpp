// The native corvane-check run as a child process with its output read through pipes.
#include "tools/CheckRun.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

std::string buildFile(const std::string& relative) {
  return std::string(CHECK_BUILD_TREE) + "/" + relative;
}

void makeFolders(const std::string& path) {
  for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
    if (at > 0) mkdir(path.substr(0, at).c_str(), 0777);
  mkdir(path.c_str(), 0777);
}

// Seconds the checker may run before it is killed and reported.
static const int kLimitSeconds = 120;

// Reads both pipes until the child closes them or the limit passes; false on the limit.
static bool readUntilClosed(int outPipe, int errorPipe, std::string& out, std::string& error) {
  pollfd pipes[2] = {{outPipe, POLLIN, 0}, {errorPipe, POLLIN, 0}};
  int open = 2;
  time_t deadline = time(nullptr) + kLimitSeconds;
  while (open > 0 && time(nullptr) < deadline) {
    if (poll(pipes, 2, 1000) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (pipes[i].fd < 0 || !pipes[i].revents) continue;
      char chunk[4096];
      ssize_t got = read(pipes[i].fd, chunk, sizeof chunk);
      if (got > 0) (i == 0 ? out : error).append(chunk, static_cast<size_t>(got));
      else pipes[i].fd = -1, --open;
    }
  }
  return open == 0;
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
    std::string text;
    bool closed = readUntilClosed(out[0], error[0], text, run.errorOutput);
    if (!closed) kill(child, SIGKILL);
    int status = 0;
    run.ended = waitpid(child, &status, 0) == child && closed && WIFEXITED(status);
    run.exitCode = run.ended ? WEXITSTATUS(status) : -1;
    run.lines = linesOf(text);
    EXPECT_TRUE(closed) << "corvane-check did not end within " << kLimitSeconds << " s and was killed";
  }
  close(out[0]);
  close(error[0]);
  return run;
}
