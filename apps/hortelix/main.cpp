// The vacant-apartment listing module. It takes no arguments: everything it needs comes from
// the environment and the installation's configuration files.
#include "core/startup.h"
#include "platform/terminal_console.h"

int main() {
  // Without a terminal the in-memory console stands in, so the run still ends by itself.
  startTerminalConsole();
  int exitCode = runModule();
  stopTerminalConsole();
  return exitCode;
}
