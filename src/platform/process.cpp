#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/console.h"
#include "platform/files.h"
#include "recman/record_manager.h"

namespace {

// The terminal's interrupt and quit keys reach every process of the foreground group; while
// the program runs they are its own, as with system(3).
struct WaitSignals {
  struct sigaction interrupt, quit;
  sigset_t mask;

  void ignore() {
    struct sigaction ignored = {};
    ignored.sa_handler = SIG_IGN;
    sigemptyset(&ignored.sa_mask);
    ::sigaction(SIGINT, &ignored, &interrupt);
    ::sigaction(SIGQUIT, &ignored, &quit);
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &child, &mask);
  }
  void restore() {
    ::sigaction(SIGINT, &interrupt, nullptr);
    ::sigaction(SIGQUIT, &quit, nullptr);
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);
  }
};

// In the child: only the standard descriptors and the (close-on-exec) error pipe stay open.
// Kernels without close_range get every descriptor below the limit closed one by one.
void closeOtherDescriptors(int keep, int limit) {
  if (::close_range(3, keep - 1, 0) == 0 && ::close_range(keep + 1, UINT_MAX, 0) == 0) return;
  for (int fd = 3; fd < limit; ++fd)
    if (fd != keep) ::close(fd);
}

int descriptorLimit() {
  rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 65536;
  return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

int waitForEnd(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

ProgramResult startAndWait(const std::string& path, const std::vector<std::string>& arguments,
                           WaitSignals& signals) {
  std::vector<char*> argv;
  std::string program = resolvePath(path);
  argv.push_back(program.data());
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int limit = descriptorLimit();
  int errorPipe[2];
  if (::pipe2(errorPipe, O_CLOEXEC) != 0) return {-1, errno};
  pid_t child = ::fork();
  if (child == 0) {
    signals.restore();
    ::close(errorPipe[0]);
    closeOtherDescriptors(errorPipe[1], limit);
    ::execv(program.c_str(), argv.data());
    int error = errno;
    (void)!::write(errorPipe[1], &error, sizeof error);
    ::_exit(127);
  }
  int forkError = errno;
  ::close(errorPipe[1]);
  if (child < 0) {
    ::close(errorPipe[0]);
    return {-1, forkError};
  }
  int execError = 0;
  ssize_t got;
  while ((got = ::read(errorPipe[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
  }
  ::close(errorPipe[0]);
  int exitCode = waitForEnd(child);
  if (got == static_cast<ssize_t>(sizeof execError)) return {-1, execError};
  return {exitCode, 0};
}

}  // namespace

ProgramResult runProgram(const std::string& path) { return runProgram(path, {}); }

ProgramResult runProgram(const std::string& path, const std::vector<std::string>& arguments) {
  endReadSnapshot();
  console().flush();
  console().suspend();
  WaitSignals signals;
  signals.ignore();
  ProgramResult result = startAndWait(path, arguments, signals);
  signals.restore();
  console().resume();
  return result;
}

std::string findProgramOnPath(const std::string& name) {
  auto runnable = [](const std::string& candidate) {
    struct stat info;
    return ::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(candidate.c_str(), X_OK) == 0;
  };
  if (name.empty()) return "";
  if (name.find('/') != std::string::npos) return runnable(name) ? name : "";
  std::string path = environmentValue("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (runnable(candidate)) return candidate;
    start = end + 1;
  }
  return "";
}
