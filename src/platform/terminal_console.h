// The console on a Linux terminal.
//
// The terminal is put in raw mode (no echo, no signals from keys: Ctrl+C arrives as the
// character 3) and switched to its alternate screen. The program draws into a cell buffer
// of 80 x 25 (the size every screen is made for), which is what reads back; a renderer
// sends the cells that changed since the last flush, in one write, when the program waits
// for input, sleeps or starts another program (at most about 60 flushes a second when it
// only polls). The screen is drawn from the terminal's top-left corner; while the terminal
// is smaller than 80 x 25 it shows a one-line notice instead, and the whole screen comes
// back once it is large enough.
//
// Colours are the Windows console's numbers (bit 0 blue, bit 1 green, bit 2 red, bit 3
// bright), sent as the ANSI colours 30-37/90-97 and 40-47/100-107. Bytes are code page 858
// and reach the terminal as UTF-8. The cursor is a steady block when its size is the full
// cell, else a steady underline. The clipboard is kept in the process and also handed to
// the terminal (OSC 52) on copy; a paste from the terminal arrives as typed characters.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/input_decoder.h"

// Size of the console's screen: the terminal must offer at least this much.
constexpr int16_t TerminalScreenRows = 25;
constexpr int16_t TerminalScreenColumns = 80;

// Brings a terminal from what it shows to a new screen: only the cells that changed, the
// cursor moved only where a run of changes breaks, the colour set only where it changes.
// It writes into a string, so it works for any descriptor or none.
class ScreenRenderer {
 public:
  struct Cursor {
    int16_t row = 1, column = 1;
    bool visible = true;
    int16_t sizePercent = 25;
  };

  ScreenRenderer(int rows, int columns);
  // What the terminal shows is unknown (start, resume, resize): the next render clears
  // it and draws every cell.
  void invalidate();
  // Appends to out what makes the terminal show cells (rows x columns, row by row).
  void render(const std::vector<ConsoleCell>& cells, const Cursor& cursor, std::string& out);
  // Appends a screen holding only text on its first line (and invalidates the cells).
  void renderNotice(const std::string& text, std::string& out);

 private:
  void moveTo(int row, int column, std::string& out);
  void setAttribute(uint8_t attribute, std::string& out);
  int rows_, columns_;
  std::vector<ConsoleCell> shown_;
  bool valid_ = false;
  std::string notice_;
  int attribute_ = -1;  // the terminal's colour, -1 unknown
  int row_ = 0, column_ = 0;  // the terminal's cursor, 0 unknown
  int visible_ = -1, block_ = -1;
};

class TerminalConsole : public Console {
 public:
  // Reads keys from inputFd (-1: none) and draws on outputFd. Nothing is sent before
  // start(). The descriptors stay the caller's.
  TerminalConsole(int inputFd, int outputFd);
  ~TerminalConsole() override;

  // Takes the terminal: raw mode when inputFd is a terminal (and the terminal is then
  // given back on every way out, see terminal_restore.h), the alternate screen,
  // metaSendsEscape and bracketed paste.
  void start();
  // Gives it back for good: every mode switched on is switched off, pending input is
  // drained (a cursor position request, then input is dropped until the reply or 200 ms),
  // and the settings are those found at start.
  void stop();

  // The terminal's size when outputFd is not a terminal (80 x 25 at first), as a
  // resize would set it.
  void setTerminalSize(int rows, int columns);
  // Bytes sent to the terminal so far.
  uint64_t bytesWritten() const { return bytesWritten_; }

  void setCursor(int16_t row, int16_t column) override;
  void getCursor(int16_t& row, int16_t& column) override;
  void setCursorShape(bool visible, int16_t sizePercent) override;
  int16_t windowRows() override { return TerminalScreenRows; }
  int16_t windowColumns() override { return TerminalScreenColumns; }
  int16_t bufferRows() override { return TerminalScreenRows; }
  int16_t bufferColumns() override { return TerminalScreenColumns; }
  void setColour(int16_t foreground, int16_t background) override;
  uint8_t currentAttribute() override { return attribute_; }
  void writeText(const std::string& bytes) override;
  void writeBlanks(int16_t count) override;
  void writeCodePoint(char32_t codePoint) override;
  ConsoleCell readCell(int16_t row, int16_t column) override;
  void scrollRectangle(int16_t top, int16_t left, int16_t bottom, int16_t right,
                       int16_t lines) override;
  void clear() override;
  void beep() override;
  std::string takeInput() override;
  bool waitForInput(int timeoutMs) override;
  void discardPendingInput() override;
  uint16_t controlKeyState() override { return controlKeyState_; }
  void mousePosition(int16_t& row, int16_t& column) override;
  int16_t mouseButtons() override { return 2; }
  void setMouseInput(bool on) override;
  bool insertMode() override { return insertMode_; }
  void setInsertMode(bool on) override { insertMode_ = on; }
  std::string clipboardText() override { return clipboard_; }
  void setClipboardText(const std::string& bytes) override;
  void flush() override;
  void suspend() override;
  void resume() override;

 private:
  using Clock = std::chrono::steady_clock;
  ConsoleCell& at(int row, int column);
  void takeNotices();
  void readTerminalSize();
  bool tooSmall() const;
  bool owesFlush() const;
  void leaveModes(bool drainInput);
  void flushIfDue();
  void writeOut(const std::string& bytes);

  int inputFd_, outputFd_;
  bool isTerminal_ = false;
  bool inputClosed_ = false;
  bool started_ = false, suspended_ = false;
  termios found_{}, raw_{};
  int terminalRows_ = TerminalScreenRows, terminalColumns_ = TerminalScreenColumns;

  std::vector<ConsoleCell> cells_;
  ScreenRenderer renderer_;
  ScreenRenderer::Cursor cursor_;
  uint8_t attribute_ = 7;
  bool dirty_ = true;
  std::string pending_;  // bell and clipboard, sent with the next flush
  bool mouseWanted_ = false, mouseSent_ = false;
  Clock::time_point lastFlush_{};
  uint64_t bytesWritten_ = 0;

  ByteReader reader_;
  InputDecoder decoder_;
  uint16_t controlKeyState_ = 0;
  int16_t mouseRow_ = 0, mouseColumn_ = 0;
  bool insertMode_ = false;
  std::string clipboard_;
};

// Makes the process's terminal (/dev/tty) its console, taken as start() describes, and
// gives it back at exit. False, with the in-memory console left in place, when the
// process has no terminal.
bool startTerminalConsole();
// Gives the terminal back now (also done at exit); the in-memory console takes over.
void stopTerminalConsole();
