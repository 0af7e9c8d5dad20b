#include "failure_notice.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "text_output.h"

namespace zideruva {
namespace {

void waitForKey() {
  termios saved;
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  ::tcflush(STDIN_FILENO, TCIFLUSH);
  char key;
  while (::read(STDIN_FILENO, &key, 1) < 0) {
  }
  // The rest of a key that sends several bytes (an arrow) is not left for the module.
  ::tcflush(STDIN_FILENO, TCIFLUSH);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace

void reportFailure(const std::string& message) {
  std::string text = "ZIDERUVA: " + utf8FromCodePage(message) + "\n";
  bool wait = ::isatty(STDIN_FILENO);
  if (wait) text += "Premeu una tecla per continuar.\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  if (wait) waitForKey();
}

}  // namespace zideruva
