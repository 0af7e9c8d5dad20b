// Keyboard and mouse input as 16-bit key codes.
//
// A key with a character gives its code page 850 byte (1 to 255); a key without one gives
// 256 x its scan code (F1 15104, Up 18432, F11 -31488), with the Shift, Ctrl and Alt
// combinations of the function keys, Home, Left and Right made here from the control-key
// state. Alt+E gives 213 (the euro sign), and digits typed on the keypad while the left Alt
// key is held give the character of that number modulo 256. Alt+X and Alt+C open the
// calculator and the calendar wherever a key is read; what they return is typed through
// typeAhead.
#pragma once

#include <cstdint>
#include <string>

// Key codes this layer reads or produces.
enum KeyCode : int16_t {
  KeyCtrlC = 3,
  KeyBackspace = 8,
  KeyTab = 9,
  KeyEnter = 13,
  KeyCtrlV = 22,
  KeyCtrlY = 25,
  KeyEsc = 27,
  KeySpace = 32,
  KeyEuro = 213,
  KeyShiftTab = 3840,
  KeyAltE = 4608,
  KeyAltF = 8448,
  KeyAltX = 11520,
  KeyAltC = 11776,
  KeyF1 = 15104,
  KeyF2 = 15360,
  KeyF4 = 15872,
  KeyF10 = 17408,
  KeyHome = 18176,
  KeyUp = 18432,
  KeyPgUp = 18688,
  KeyLeft = 19200,
  KeyCentre = 19456,
  KeyRight = 19712,
  KeyEnd = 20224,
  KeyDown = 20480,
  KeyPgDn = 20736,
  KeyIns = 20992,
  KeyDel = 21248,
  KeyCtrlF4 = 24832,
  KeyAltF4 = 27392,
  KeyCtrlLeft = 29440,
  KeyCtrlRight = 29696,
  KeyCtrlHome = 30464,
  KeyF11 = -31488,
  KeyF12 = -31232,
};

// Bytes still to be read as keys before the console is read again.
extern std::string typeAhead;
// 0 not probed yet, 1 mouse input on, 2 mouse present but input off, 3 no mouse.
extern int16_t mouseState;
// -1 while the calculator / the calendar runs, else 0.
extern int16_t calculatorOpen;
extern int16_t calendarOpen;

// One key, one completed click, or nothing (all four 0); never waits. A click gives key 0,
// button 1 (left) or 2 (right) and the clicked cell. A key taken from typeAhead leaves
// button, mouseRow and mouseCol as they were.
void readKeyEvent(int16_t& key, int16_t& button, int16_t& mouseRow, int16_t& mouseCol);
// Waits for a key or a click; a click comes as column x 256 + button x 64 + row.
void waitKey(int16_t& key);
// The same, returning the key.
inline int16_t waitKey() {
  int16_t key = 0;
  waitKey(key);
  return key;
}
// The key code of a key text as the console gives it (not a mouse event's) under the
// control-key state: Shift, Ctrl and Alt make other codes of the function keys, Ctrl of
// Home, Left and Right, and Alt+E gives the euro sign.
int16_t keyCodeFor(const std::string& keyText, uint16_t controlKeyState);
// A key of the numeric keypad read as its key without a character: Ins, End, Down, PgDn,
// Left, Centre, Right, Home, Up and PgUp stand for the digits 0 to 9.
bool isKeypadKey(int16_t key);

// What every loop that polls readKeyEvent does when nothing came: sends the screen out,
// lets go of what must not be held while the operator thinks, and blocks until input may
// be there.
void waitBetweenPolls();

// The pop-ups the hot keys open; each returns the text to type into the field being
// edited ("" for none). A null handler leaves its hot key as a plain key.
using HotKeyHandler = std::string (*)();
void setHotKeyHandlers(HotKeyHandler calculator, HotKeyHandler calendar);

// typeAhead, mouseState, the two open flags and an unfinished Alt+keypad entry back to
// their start state (tests); the hot-key handlers stay as registered.
void resetKeyboardState();
