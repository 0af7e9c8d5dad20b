// The terminal settings a login shell leaves on its terminal, for tests that check a program
// gives them back as it found them.
#pragma once

#include <termios.h>

// Canonical mode with echo and signals, 38400 baud, the usual control characters; `erase` is
// the erase character (127 for DEL, 8 for Backspace).
termios shellTerminalSettings(cc_t erase = 127);

// The modes and control characters alike (the speeds are not compared).
bool sameTerminalSettings(const termios& a, const termios& b);
