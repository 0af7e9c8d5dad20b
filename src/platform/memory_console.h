// The in-memory console: the cell buffer of a console with a scripted input queue, a
// record of beeps and a clipboard. Screen and keyboard tests run on it, and it is the
// process's console until a real one is installed.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/console.h"

// First two bytes of the key text of a mouse event (before the event kind and the button).
constexpr uint8_t MouseKeyTextLead = 0xFF;

class MemoryConsole : public Console {
 public:
  MemoryConsole(int16_t rows = 25, int16_t columns = 80);

  void setCursor(int16_t row, int16_t column) override;
  void getCursor(int16_t& row, int16_t& column) override;
  void setCursorShape(bool visible, int16_t sizePercent) override;
  int16_t windowRows() override { return rows_; }
  int16_t windowColumns() override { return columns_; }
  int16_t bufferRows() override { return rows_; }
  int16_t bufferColumns() override { return columns_; }
  void setColour(int16_t foreground, int16_t background) override;
  uint8_t currentAttribute() override { return attribute_; }
  void writeText(const std::string& bytes) override;
  void writeBlanks(int16_t count) override;
  void writeCodePoint(char32_t codePoint) override;
  ConsoleCell readCell(int16_t row, int16_t column) override;
  void scrollRectangle(int16_t top, int16_t left, int16_t bottom, int16_t right,
                       int16_t lines) override;
  void clear() override;
  void beep() override { ++beeps_; }
  std::string takeInput() override;
  bool waitForInput(int timeoutMs) override;
  void discardPendingInput() override { events_.clear(); }
  uint16_t controlKeyState() override { return controlKeys_; }
  void mousePosition(int16_t& row, int16_t& column) override;
  int16_t mouseButtons() override { return mouseButtonCount_; }
  void setMouseInput(bool on) override { mouseInput_ = on; }
  bool insertMode() override { return insert_; }
  void setInsertMode(bool on) override { insert_ = on; }
  std::string clipboardText() override { return clipboard_; }
  void setClipboardText(const std::string& bytes) override { clipboard_ = bytes; }
  void flush() override { ++flushes_; }
  void suspend() override { ++suspends_; }
  void resume() override { ++resumes_; }

  // --- Test side ---

  // Queues a key by its plain key code: 1 to 255 a character, otherwise 256 x scan code.
  void pushKey(int16_t code, uint16_t controlKeys = 0);
  // Queues each byte of the text as a character key.
  void pushChars(const std::string& bytes, uint16_t controlKeys = 0);
  // Queues a button release (a completed click) at the cell; button 1 left, 2 right.
  void pushMouseClick(int16_t row, int16_t column, uint8_t button = 1,
                      uint16_t controlKeys = 0);
  // Queues a mouse move to the cell.
  void pushMouseMove(int16_t row, int16_t column, uint16_t controlKeys = 0);
  // Queues any key text with its control-key state and mouse cell.
  void pushEvent(const std::string& keyText, uint16_t controlKeys = 0, int16_t row = 0,
                 int16_t column = 0);
  size_t pendingEvents() const { return events_.size(); }

  // Called when the program waits for input and none is pending; it may queue more
  // input (a test answering what the screen shows).
  void setIdleHandler(std::function<void(MemoryConsole&)> handler);
  // Waits without a time-out that found no input even after the idle handler. Each one
  // queues an Esc so that a program that has run out of scripted keys winds down instead
  // of waiting for ever; after many the process is stopped.
  int exhaustedWaits() const { return exhaustedWaits_; }

  // The bytes of a whole row, and of length cells from (row, column).
  std::string rowText(int16_t row);
  std::string text(int16_t row, int16_t column, int16_t length);
  // Every row, joined by line feeds (for failure messages).
  std::string screenText();
  ConsoleCell cell(int16_t row, int16_t column) { return readCell(row, column); }
  // Fills the whole buffer with one character and attribute (test set-up).
  void fill(uint8_t character, uint8_t attribute);

  int beepCount() const { return beeps_; }
  int flushCount() const { return flushes_; }
  int suspendCount() const { return suspends_; }
  int resumeCount() const { return resumes_; }
  bool cursorVisible() const { return cursorVisible_; }
  int16_t cursorSize() const { return cursorSize_; }
  bool mouseInputOn() const { return mouseInput_; }
  void setMouseButtonCount(int16_t count) { mouseButtonCount_ = count; }

 private:
  struct Event {
    std::string keyText;
    uint16_t controlKeys;
    int16_t row, column;
  };
  bool inside(int16_t row, int16_t column) const;
  ConsoleCell& at(int16_t row, int16_t column);

  int16_t rows_, columns_;
  std::vector<ConsoleCell> cells_;
  int16_t cursorRow_ = 1, cursorColumn_ = 1;
  bool cursorVisible_ = true;
  int16_t cursorSize_ = 25;
  uint8_t attribute_ = 7;
  std::deque<Event> events_;
  uint16_t controlKeys_ = 0;
  int16_t mouseRow_ = 0, mouseColumn_ = 0;
  int16_t mouseButtonCount_ = 2;
  bool mouseInput_ = false;
  bool insert_ = false;
  std::string clipboard_;
  std::function<void(MemoryConsole&)> idleHandler_;
  int beeps_ = 0, flushes_ = 0, suspends_ = 0, resumes_ = 0;
  int exhaustedWaits_ = 0;
};
