// A real terminal emulator (libvterm) for tests that look at what a program shows.
//
// Two ways to use it:
//  - feed(bytes): hand it output directly (a renderer under test writing into a pipe);
//  - start(argv): run a program in a pseudo-terminal of the screen's size; pump() and the
//    wait... calls read the program's output into the emulator, sendKeys() types bytes,
//    pressKey()/typeText()/clickMouse() type keys encoded the way libvterm's keyboard
//    sends them (so the program sees the modes it switched on honoured: bracketed paste,
//    SGR mouse reports), and the emulator's own replies (cursor position reports and the
//    like) go back to the program as a terminal's would.
//
// Texts compared with the screen are code page 850 bytes, the way the module writes them;
// each screen cell is turned into its byte with the console's code page tables (a
// character without a byte reads as '?'). Rows and columns are 1-based.
//
// Waits poll the program's output up to a time-out and never sleep for a fixed time; give
// generous time-outs, as tests share the machine.
//
// Keys for the module's console: Esc and a key in one write are Alt + that key (as a
// terminal sends it), so send a lone Esc on its own and wait for the screen to answer
// before the next key (two Escs in one write are two Esc keys). A key with modifiers is
// best typed with pressKey, e.g. pressKey(VTERM_KEY_FUNCTION(4), VTERM_MOD_ALT).
//
// Available when the build found libvterm (KIV_HAVE_VTERM is defined); guard tests with
//   #ifdef KIV_HAVE_VTERM ... #endif  or skip them otherwise.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Colour numbers as the Windows console counts them (bit 0 blue, bit 1 green, bit 2 red,
// bit 3 bright); DefaultColour for the terminal's default, OtherColour for a colour outside
// the 16 of the palette.
constexpr int DefaultColour = -1;
constexpr int OtherColour = -2;

struct VtermCell {
  char32_t character = U' ';  // the cell's first code point (a blank for an empty cell)
  int foreground = DefaultColour;
  int background = DefaultColour;
  // The cell as the console stores it: code page byte ('?' if none) and attribute
  // (foreground + 16 x background; a default colour counts as 7 on 0).
  uint8_t byte() const;
  uint8_t attribute() const;
};

class VtermScreen {
 public:
  VtermScreen(int rows, int columns);
  ~VtermScreen();  // a program still running is killed (SIGKILL) and reaped
  VtermScreen(const VtermScreen&) = delete;
  VtermScreen& operator=(const VtermScreen&) = delete;

  int rows() const { return rows_; }
  int columns() const { return columns_; }

  // ---- a program in a pseudo-terminal ----

  // Starts argv[0] (a path) with the other arguments in a new session whose controlling
  // terminal is the pseudo-terminal (so /dev/tty is this screen). The environment is the
  // test's own with each "NAME=value" of environment put in (an entry "NAME" alone removes
  // NAME); TERM is xterm-256color unless given. workDir: the program's current directory
  // when not empty; settings: the terminal's settings before the program starts (the
  // system's defaults for a new pseudo-terminal when null). False when the
  // pseudo-terminal or the process cannot be made.
  bool start(const std::vector<std::string>& argv,
             const std::vector<std::string>& environment = {},
             const std::string& workDir = "", const termios* settings = nullptr);
  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0 && !exited_; }
  // The pseudo-terminal's master side (for tests that need it raw).
  int masterFd() const { return master_; }

  // Reads what the program wrote into the emulator, waiting up to timeoutMs for the first
  // bytes; true when any came.
  bool pump(int timeoutMs = 0);
  // Pumps until condition() holds or timeoutMs passes; the condition's last value.
  bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
  // Pumps until text (code page 850 bytes) is on the screen.
  bool waitForText(const std::string& text, int timeoutMs = 10000);
  // Pumps until the program has written bytes (raw output, escape sequences included).
  bool waitForOutput(const std::string& bytes, int timeoutMs = 10000);
  // Pumps until the program ends; its wait status (waitpid), or -1 on time-out.
  int waitForExit(int timeoutMs = 10000);
  // Sends a signal to the program.
  void signal(int signalNumber);

  // Writes bytes to the program as typed input.
  void sendKeys(const std::string& bytes);
  // Types a key, or Unicode text, the way libvterm encodes them (modifiers: the
  // VTERM_MOD_* bits, 1 Shift, 2 Alt, 4 Ctrl). key is a VTermKey value.
  void pressKey(int key, int modifiers = 0);
  void typeText(const std::u32string& text, int modifiers = 0);
  // A bracketed paste of text (only bracketed when the program switched it on).
  void paste(const std::u32string& text);
  // Presses and releases a mouse button (1 left, 2 middle, 3 right) on a cell; reported
  // only if the program switched mouse reports on.
  void clickMouse(int row, int column, int button = 1, int modifiers = 0);

  // Resizes the pseudo-terminal (the program gets SIGWINCH) and the emulator.
  void resize(int rows, int columns);
  // The terminal's settings now (tcgetattr on the pseudo-terminal).
  termios terminalSettings() const;

  // ---- the screen ----

  // Output as a program would write it.
  void feed(const std::string& bytes);
  VtermCell cell(int row, int column) const;
  // A row as code page 850 bytes, and all rows joined by "\n" (for failure messages).
  std::string rowText(int row) const;
  std::string screenText() const;
  bool contains(const std::string& text) const;
  void cursor(int& row, int& column) const;
  bool cursorVisible() const { return cursorVisible_; }
  // 1 block, 2 underline, 3 bar (libvterm's numbers).
  int cursorShape() const { return cursorShape_; }
  bool alternateScreen() const { return altScreen_; }
  int bells() const { return bells_; }
  // Every byte the program wrote (or was fed) so far.
  const std::string& output() const { return output_; }
  // What the emulator sent towards the program (key encodings and replies).
  const std::string& sent() const { return sent_; }

 private:
  struct Impl;
  friend struct VtermCallbacks;
  void writeToProgram(const char* bytes, size_t length);
  void reap(bool wait);

  int rows_, columns_;
  std::unique_ptr<Impl> impl_;
  int master_ = -1;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
  bool cursorVisible_ = true;
  int cursorShape_ = 1;
  bool altScreen_ = false;
  int bells_ = 0;
  std::string output_;
  std::string sent_;
};

// The text of the message window on screen (a single-line frame): each line between the
// frame's sides, blanks around it cut, the lines joined by one blank.
std::string messageWindowText(const VtermScreen& terminal);
