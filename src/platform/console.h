// The text console the module draws on and reads keys from.
//
// One interface, two implementations: the terminal console (a Linux terminal in raw mode,
// platform/terminal_console) and the in-memory console that every screen and keyboard test
// runs on (platform/memory_console). Both keep the screen as a buffer of cells (a code page
// 850 byte and a Windows console attribute: foreground + 16 x background, bit 0 blue, bit 1
// green, bit 2 red, bit 3 bright), and that buffer is what reads back.
//
// Coordinates are 1-based (row, column). The process has one current console, reached with
// console(); tests install their own with setConsole.
#pragma once

#include <cstdint>
#include <string>

struct ConsoleCell {
  uint8_t character = ' ';
  uint8_t attribute = 7;
};

// Control-key state flags of the last key or mouse event taken.
enum ControlKeyFlags : uint16_t {
  RightAltPressed = 0x0001,
  LeftAltPressed = 0x0002,
  RightCtrlPressed = 0x0004,
  LeftCtrlPressed = 0x0008,
  ShiftPressed = 0x0010,
};

// Mouse event kind in the third byte of a mouse key text: a button was released.
constexpr uint8_t MouseButtonReleased = 8;

class Console {
 public:
  virtual ~Console() = default;

  // Cursor. A coordinate below 1 or beyond the buffer leaves that coordinate unchanged.
  virtual void setCursor(int16_t row, int16_t column) = 0;
  virtual void getCursor(int16_t& row, int16_t& column) = 0;
  // Visibility and size (percentage of the cell: 100 a full block, less an underline).
  virtual void setCursorShape(bool visible, int16_t sizePercent) = 0;

  // Size of the visible window and of the screen buffer (the same on a terminal).
  virtual int16_t windowRows() = 0;
  virtual int16_t windowColumns() = 0;
  virtual int16_t bufferRows() = 0;
  virtual int16_t bufferColumns() = 0;

  // Current colour for writing; a value of 16 or more leaves that component unchanged.
  virtual void setColour(int16_t foreground, int16_t background) = 0;
  virtual uint8_t currentAttribute() = 0;

  // Writes code page 850 bytes at the cursor in the current colour, advancing the cursor;
  // the screen never scrolls (text past the last cell is dropped).
  virtual void writeText(const std::string& bytes) = 0;
  virtual void writeBlanks(int16_t count) = 0;
  // One character given by its Unicode code point, stored as its code page 850 byte.
  virtual void writeCodePoint(char32_t codePoint) = 0;

  virtual ConsoleCell readCell(int16_t row, int16_t column) = 0;
  // Moves the rectangle's content up (lines > 0) or down (lines < 0), blank-filling the
  // uncovered rows in the current colour; nothing outside the rectangle changes.
  virtual void scrollRectangle(int16_t top, int16_t left, int16_t bottom, int16_t right,
                               int16_t lines) = 0;
  virtual void clear() = 0;
  virtual void beep() = 0;

  // Input. takeInput returns at once with the next pending event as a key text: empty when
  // nothing is pending; one byte for a character; byte 0 and the scan code for a key
  // without a character; four bytes for a mouse event (third byte the event kind, fourth
  // the button: 1 left, 2 right).
  virtual std::string takeInput() = 0;
  // Blocks until input may be pending or the time-out (milliseconds, -1 = none) ends.
  virtual bool waitForInput(int timeoutMs) = 0;
  virtual void discardPendingInput() = 0;
  virtual uint16_t controlKeyState() = 0;
  virtual void mousePosition(int16_t& row, int16_t& column) = 0;
  virtual int16_t mouseButtons() = 0;
  virtual void setMouseInput(bool on) = 0;

  // The keyboard's Insert toggle, kept by the console.
  virtual bool insertMode() = 0;
  virtual void setInsertMode(bool on) = 0;

  virtual std::string clipboardText() = 0;
  virtual void setClipboardText(const std::string& bytes) = 0;

  // Sends what changed to the real screen (no-op in memory).
  virtual void flush() = 0;
  // Give the terminal back before another program runs, and take it again afterwards
  // (the whole screen repainted from the buffer).
  virtual void suspend() = 0;
  virtual void resume() = 0;
};

// What setColour makes of the current attribute: the foreground and the background
// replaced, each only when it is 0 to 15.
uint8_t attributeWithColours(uint8_t attribute, int16_t foreground, int16_t background);

// The process's console. Until setConsole is called it is an in-memory console of 80 x 25.
Console& console();
// Installs a console (not owned); nullptr goes back to the default in-memory console.
void setConsole(Console* replacement);
