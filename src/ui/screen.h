// The screen layer: the five configured colours chosen by short codes with a stack to
// give a caller's colour back, the screen size, the frame of the innermost window with
// positions relative to it, region scrolling, and a stack of texts kept across nested steps.
// Windows themselves (saving and restoring what they cover) are in ui/window_stack.
#pragma once

#include <cstdint>
#include <string>

// Index into sessionSettings.colourTable of the colour applied last.
extern int16_t currentColour;
// Pushed colour indices, one byte each, top at the end.
extern std::string colourStack;
// Pushed texts, each followed by its length as 2 bytes little-endian, top at the end.
extern std::string textStack;

// Selects a colour by its code (upper-cased in place): "+" pushes the current colour
// first, "-" takes the pushed one back (0 when none), else "U" is colour 4 and "N" and
// "R" add 1 and 2. An empty or blank code does nothing.
void setColour(std::string& code);
inline void setColour(std::string&& code) { setColour(code); }

// The console's visible window, read at each call.
int16_t screenRows();
int16_t screenColumns();

// Draws the innermost window's frame, clearing its interior in the current colour:
// style 0 blanks, 1 single line, 2 double line, any other byte 0. Nothing without a window.
void drawFrame(int16_t style);
// Cursor at (row, col) relative to the innermost window's frame, so (1, 1) is its first
// interior cell; absolute when no window is open.
void locateInWindow(int16_t row, int16_t col);
// First interior row and column and last interior column of the innermost window
// (1, 1 and screenColumns without a window).
int16_t windowInnerTop();
int16_t windowInnerLeft();
int16_t windowInnerRight();

// Scrolls rows top+1 to bottom+1, columns left+1 to right+1 (bounds one less than the
// screen coordinates): up by lines when lines > 0, down by -lines otherwise (0 counts as 1).
void scrollRegion(int16_t top, int16_t left, int16_t bottom, int16_t right, int16_t lines);

// Keeps a text across a nested step; pushes and pops pair strictly. popText on an empty
// stack returns "".
void pushText(const std::string& text);
std::string popText();

// Colour, colour stack and text stack back to their start state (tests).
void resetScreenState();
