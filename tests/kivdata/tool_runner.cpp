#include "tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "paths.h"

namespace {

[[noreturn]] void execTool(const std::vector<std::string>& arguments, const std::string& directory) {
  if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
  std::string program = programPath("kivdata");
  std::vector<char*> argv = {program.data()};
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

std::string readWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

ToolRun runTool(const std::vector<std::string>& arguments, const std::string& directory,
                const std::string& input) {
  TempDir capture;
  std::string in = capture.file("in"), out = capture.file("out"), err = capture.file("err");
  std::ofstream(in, std::ios::binary) << input;
  pid_t pid = fork();
  if (pid == 0) {
    int fds[3] = {open(in.c_str(), O_RDONLY), open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                  open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)};
    for (int i = 0; i < 3; ++i) dup2(fds[i], i);
    execTool(arguments, directory);
  }
  ToolRun run;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) run.exitCode = exitCodeOf(status);
  run.out = readWholeFile(out);
  run.err = readWholeFile(err);
  return run;
}

BackgroundTool::BackgroundTool(const std::vector<std::string>& arguments,
                               const std::string& directory) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    execTool(arguments, directory);
  }
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  output_ = out[0];
  signal(SIGPIPE, SIG_IGN);
}

BackgroundTool::~BackgroundTool() {
  if (pid_ > 0) stop(SIGKILL);
  closeInput();
  if (output_ >= 0) close(output_);
}

bool BackgroundTool::write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(input_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void BackgroundTool::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

bool BackgroundTool::waitForOutput(const std::string& text, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (seen_.find(text) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready = {output_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(output_, buffer, sizeof buffer);
    if (n <= 0) return seen_.find(text) != std::string::npos;
    seen_.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

int BackgroundTool::stop(int signal) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  return wait();
}

int BackgroundTool::wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  pid_t ended = waitpid(pid_, &status, 0);
  pid_ = -1;
  return ended > 0 ? exitCodeOf(status) : -1;
}
