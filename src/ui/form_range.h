// The property range the operator confirms on the form: the first and the last property
// number, each packed like a property code (4 digits in 2 bytes). The form engine
// (ui/form_engine) writes them at every attempt to confirm panel 1, a reversed range or a
// declined one included; the operator loop runs the vacancy report, which reads them, only
// after an attempt the operator confirmed, whose range is never reversed.
#pragma once

#include "locale/packed_digits.h"

extern PackedDigits rangeFrom;
extern PackedDigits rangeTo;

// Back to the start state: both empty (tests).
void resetFormRange();
