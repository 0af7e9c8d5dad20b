// The calculator pop-up: an adding machine with a paper tape in a 26-column strip of the
// screen (rows 1 to 25) that Left and Right slide along. Its whole state (strip column,
// tape, pending operation, value) is kept between openings in KIVCALC.TMP of the terminal
// directory, so a calculation goes on at the next Alt+X.
//
// Keys: digits and "." type a number, Backspace takes its last digit or point back;
// "+", "-", "*", "/" and "=" (or Enter) work on the running total; "%" takes a percentage
// of the total under "+" and "-", else a hundredth; "R" rounds to hundredths (an exact
// half to the even hundredth); "T" changes the sign; "C" clears the entry, then
// everything, then the tape view. "F" or Alt+F leaves with the value as text, Esc
// without. A step whose result would not be a finite number is refused with a beep.
#pragma once

#include <string>

#include "ui/calculator_state.h"

// The state while the calculator runs (loaded when it opens, saved when it closes).
extern CalculatorState calculatorState;

// Runs the pop-up and returns the text to type into the field being edited: |value| x 100
// with the entry's decimals beyond two after a ".", so 12.5 gives 1250 and 1.234 gives
// 123.4; empty after Esc.
std::string runCalculator();

// calculatorState back to its first-use values (tests).
void resetCalculatorState();
