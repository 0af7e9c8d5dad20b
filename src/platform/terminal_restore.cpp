#include "platform/terminal_restore.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

// Everything a signal handler reads lives in plain static storage.
constexpr size_t MaxBytes = 512;

struct Saved {
  int fd = -1;
  termios found{};
  termios raw{};
  char enter[MaxBytes];
  size_t enterLength = 0;
  char leave[MaxBytes];
  size_t leaveLength = 0;
};
Saved saved;
volatile sig_atomic_t recorded = 0;  // a terminal is recorded
volatile sig_atomic_t taken = 0;     // our modes are on
volatile sig_atomic_t active = 0;    // the console wants the terminal
volatile sig_atomic_t resizeNotice = 0;
volatile sig_atomic_t repaintNotice = 0;
int noticePipe[2] = {-1, -1};
void (*exitHook)() = nullptr;
void (*volatile fatalSignalCleanup)() = nullptr;
std::terminate_handler previousTerminate = nullptr;

void writeAll(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    length -= size_t(n);
  }
}

void raiseNotice() {
  int keep = errno;
  if (noticePipe[1] >= 0) {
    char one = 1;
    [[maybe_unused]] ssize_t n = write(noticePipe[1], &one, 1);
  }
  errno = keep;
}

void raiseAgain(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
}

void onFatalSignal(int signal) {
  int keep = errno;
  if (void (*cleanup)() = fatalSignalCleanup) cleanup();
  giveTerminalBack();
  if (recorded) tcflush(saved.fd, TCIFLUSH);
  errno = keep;
  raiseAgain(signal);
}

void onContinue(int) {
  int keep = errno;
  if (recorded && active) {
    // The shell may have set its own modes while the process was stopped.
    taken = 0;
    takeTerminalAgain();
  }
  errno = keep;
}

void install(int signal, void (*handler)(int), int flags);

void onStop(int signal) {
  int keep = errno;
  giveTerminalBack();
  raiseAgain(signal);  // stops here until SIGCONT, whose handler takes the terminal again
  install(signal, onStop, SA_RESTART);
  errno = keep;
}

void onResize(int) {
  resizeNotice = 1;
  raiseNotice();
}

void install(int signal, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(signal, &action, nullptr);
}

void onExit() {
  if (exitHook) {
    exitHook();
  } else {
    giveTerminalBack();
  }
}

void onTerminate() {
  giveTerminalBack();
  if (previousTerminate) previousTerminate();
  std::abort();
}

void installHandlersOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  if (pipe(noticePipe) == 0) {
    for (int fd : noticePipe) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  for (int s : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGPIPE}) install(s, onFatalSignal, 0);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS}) {
    install(s, onFatalSignal, 0);
  }
  install(SIGTSTP, onStop, SA_RESTART);
  install(SIGCONT, onContinue, SA_RESTART);
  install(SIGWINCH, onResize, SA_RESTART);
  previousTerminate = std::set_terminate(onTerminate);
  std::atexit(onExit);
}

size_t copyBytes(char* target, std::string_view bytes) {
  size_t n = bytes.size() < MaxBytes ? bytes.size() : MaxBytes;
  std::memcpy(target, bytes.data(), n);
  return n;
}

}  // namespace

void setTerminalRestore(int fd, const termios& found, const termios& raw,
                        std::string_view enterBytes, std::string_view leaveBytes) {
  installHandlersOnce();
  recorded = 0;
  saved.fd = fd;
  saved.found = found;
  saved.raw = raw;
  saved.enterLength = copyBytes(saved.enter, enterBytes);
  saved.leaveLength = copyBytes(saved.leave, leaveBytes);
  taken = 1;
  active = 1;
  recorded = 1;
}

void clearTerminalRestore() {
  recorded = 0;
  taken = 0;
  active = 0;
}

void giveTerminalBack() {
  if (!recorded || !taken) return;
  taken = 0;
  writeAll(saved.fd, saved.leave, saved.leaveLength);
  tcsetattr(saved.fd, TCSADRAIN, &saved.found);
}

void takeTerminalAgain() {
  if (!recorded || taken) return;
  tcsetattr(saved.fd, TCSADRAIN, &saved.raw);
  writeAll(saved.fd, saved.enter, saved.enterLength);
  taken = 1;
  repaintNotice = 1;
  raiseNotice();
}

void setTerminalActive(bool on) { active = on ? 1 : 0; }

void setTerminalExitHook(void (*hook)()) { exitHook = hook; }

void setFatalSignalCleanup(void (*cleanup)()) { fatalSignalCleanup = cleanup; }

int terminalNoticeFd() { return noticePipe[0]; }

TerminalNotices takeTerminalNotices() {
  if (noticePipe[0] >= 0) {
    char drain[64];
    while (read(noticePipe[0], drain, sizeof drain) > 0) {
    }
  }
  TerminalNotices notices;
  notices.resized = resizeNotice != 0;
  notices.repaint = repaintNotice != 0;
  resizeNotice = 0;
  repaintNotice = 0;
  return notices;
}
