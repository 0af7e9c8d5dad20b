// The terminal tests run this same program as a child in a pseudo-terminal or in tmux.
// An environment variable picks the child's part before the test framework starts:
//
//   KIV_KEY_CAPTURE=<file>   the key capture tool: takes the terminal the way the console
//                            does (raw mode, metaSendsEscape, bracketed paste, mouse
//                            reports), then appends every byte the terminal sends to
//                            <file> until it is killed. Used to record what a real
//                            terminal sends for each key (see tmux_keys_test.cpp).
//   KIV_TERMINAL_CHILD=echo  the process console on its terminal (mouse input on),
//                            showing "READY", then for every input event one line
//                            "KEY <event>" on the rows 2 to 21 in turn; the
//                            key "q" ends the program normally (exit), "t" through
//                            std::terminate, "s" with a segmentation fault, "p" suspends
//                            the console, runs "stty -g" and resumes.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <string>

#include "key_events.h"
#include "platform/console.h"
#include "platform/terminal_console.h"

namespace {

[[noreturn]] void runKeyCapture(const char* path) {
  int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
  if (tty < 0) _exit(2);
  TerminalConsole terminal(tty, tty);
  terminal.start();
  terminal.setMouseInput(true);
  terminal.writeText("capture ready");
  terminal.flush();
  int out = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
  if (out < 0) _exit(3);
  for (;;) {
    char chunk[256];
    ssize_t n = read(tty, chunk, sizeof chunk);
    if (n < 0) continue;
    if (n == 0) _exit(0);
    if (write(out, chunk, size_t(n)) != n) _exit(4);
  }
}

void show(const std::string& line, int16_t row) {
  console().setCursor(row, 1);
  console().writeText(line + std::string(80 - line.size() % 80, ' '));
}

[[noreturn]] void runEchoChild() {
  if (!startTerminalConsole()) _exit(2);
  console().setColour(15, 1);
  console().clear();
  console().setMouseInput(true);
  show("READY", 1);
  int16_t count = 0;
  for (;;) {
    console().waitForInput(-1);
    std::string key = console().takeInput();
    if (key.empty()) continue;
    std::string line = "KEY " + describeKey(key, console().controlKeyState());
    if (key.size() == 4) {
      int16_t row, column;
      console().mousePosition(row, column);
      line += " @" + std::to_string(row) + "," + std::to_string(column);
    }
    show(line, int16_t(2 + count++ % 20));
    if (key == "q") std::exit(0);
    if (key == "t") std::terminate();
    if (key == "s") raise(SIGSEGV);
    if (key == "p") {
      console().suspend();
      if (std::system("stty -g") != 0) _exit(5);
      console().resume();
    }
  }
}

struct ChildModes {
  ChildModes() {
    if (const char* path = std::getenv("KIV_KEY_CAPTURE")) runKeyCapture(path);
    if (const char* mode = std::getenv("KIV_TERMINAL_CHILD")) {
      if (std::string(mode) == "echo") runEchoChild();
      _exit(2);
    }
  }
} childModes;

}  // namespace
