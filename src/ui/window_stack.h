// The window stack: every open window saves the screen cells it covers to WinPush.tmp in
// the session's work directory, and closing it paints them back.
//
// File layout: bytes 0 to 3 hold the free position (the 1-based file position where the
// next record starts) as a 4-byte little-endian signed integer; a missing or shorter file
// is an empty stack with free position 5. The records of the open windows follow, oldest
// first: ten 2-digit fields (cursor row and column when the window opened, the box that
// was innermost before, this window's box, each top, left, bottom, right), then one
// character byte and one attribute byte per covered cell row by row, then the record's
// total length as 5 digits. Numbers are zero-padded decimal digits keeping their last
// digits, so boxes with a coordinate above 99 cannot be stored and are refused.
// Closing only moves the free position back; the file goes when the stack is empty.
// A signal that ends the run while its windows are open gives the file back as the run
// found it (the windows of the program that started this one stay in it).
#pragma once

#include <cstdint>
#include <string>

// Frame of a window: rows windowTop and windowBottom, columns windowLeft and windowRight.
struct WindowBox {
  int16_t windowTop = 0;
  int16_t windowLeft = 0;
  int16_t windowBottom = 0;
  int16_t windowRight = 0;
};

// Number of windows open, and the frame of the innermost one (all 0 when none).
extern int16_t windowDepth;
extern WindowBox windowBox;

// Opens a window over the box: saves the covered cells and makes the box the innermost
// window. Draws nothing. A box with a bound off the screen or above 99 is refused: nothing
// changes, false is returned, and the closeWindow that pairs with it does nothing.
bool openWindow(int16_t top, int16_t left, int16_t bottom, int16_t right);
// Closes the innermost window: paints back the cells it covered (each in its saved
// attribute, so the console colour is that of the last cell afterwards), puts the cursor
// where it was when the window opened and makes the window below innermost again.
void closeWindow();

// tempDir + "WinPush.tmp".
std::string windowStackFileName();

// No window open, nothing remembered about earlier opens (tests). The file is left alone.
void resetWindowStack();
