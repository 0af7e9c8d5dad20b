// Runs the built kivdata program, as a whole command or in the background.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ToolRun {
  int exitCode = -1;  // -1 when it did not end normally
  std::string out, err;
};

// kivdata with `arguments`, run in `directory` with `input` as its standard input.
ToolRun runTool(const std::vector<std::string>& arguments, const std::string& directory,
                const std::string& input = "");

// kivdata running in the background, its standard input a pipe and its standard output
// captured.
class BackgroundTool {
 public:
  BackgroundTool(const std::vector<std::string>& arguments, const std::string& directory);
  ~BackgroundTool();
  BackgroundTool(const BackgroundTool&) = delete;
  BackgroundTool& operator=(const BackgroundTool&) = delete;

  pid_t pid() const { return pid_; }
  // Writes to its standard input (blocking while the pipe is full); false when it is gone.
  bool write(const std::string& bytes);
  void closeInput();
  // Waits up to `seconds` for `text` in its standard output.
  bool waitForOutput(const std::string& text, int seconds);
  // Sends the signal and collects the process; the exit code, or -1 for a signal.
  int stop(int signal);
  int wait();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string seen_;
};
