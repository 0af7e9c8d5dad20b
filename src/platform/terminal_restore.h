// Giving the terminal back on every way out of the process.
//
// The terminal console records here what it changed: the terminal's settings as it found
// them and in raw mode, and the bytes that switch its modes on and off. From then on the
// terminal is given back at a normal end (atexit), when std::terminate runs, and on
// SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGPIPE and the crash signals (given back, then the
// signal is raised again with its default action). SIGTSTP gives it back before the
// process stops and SIGCONT takes it again; the console is told to repaint through
// terminalNoticeFd, which also reports SIGWINCH.
//
// giveTerminalBack and takeTerminalAgain only write and set terminal attributes, so they
// are safe inside a signal handler.
#pragma once

#include <termios.h>

#include <string_view>

// Records the terminal and what taking it means; the terminal counts as taken (the caller
// has just applied raw and written enterBytes). Installs the handlers on first use.
void setTerminalRestore(int fd, const termios& found, const termios& raw,
                        std::string_view enterBytes, std::string_view leaveBytes);
// Forgets the terminal: nothing is given back any more (it was given back for good).
void clearTerminalRestore();

// Writes the leave bytes and sets the settings as found; nothing when not taken.
void giveTerminalBack();
// Sets raw mode and writes the enter bytes again (after another program ran, or after the
// process was stopped and continued), and raises the repaint notice.
void takeTerminalAgain();
// While inactive (another program has the terminal), SIGCONT leaves the terminal alone.
void setTerminalActive(bool active);

// Runs at a normal end in place of giveTerminalBack (the console's orderly stop).
void setTerminalExitHook(void (*hook)());

// Runs first when a signal ends the process (before the terminal is given back), for the
// files that must not be left as the run had them; async-signal-safe calls only. Nothing
// when nullptr.
void setFatalSignalCleanup(void (*cleanup)());

// A descriptor that becomes readable when a notice is pending: include it in the poll of
// a wait so a resize or a repaint is seen at once. -1 before the first setTerminalRestore.
int terminalNoticeFd();
// The notices raised since the last call, cleared by it.
struct TerminalNotices {
  bool resized = false;
  bool repaint = false;
};
TerminalNotices takeTerminalNotices();
