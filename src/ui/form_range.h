// The property range the operator confirms on the form: the first and the last property
// number, each packed like a property code (4 digits in 2 bytes). The form engine fills
// them each time the form is confirmed, and only with rangeFrom not above rangeTo; the
// vacancy report reads them.
#pragma once

#include "locale/packed_digits.h"

extern PackedDigits rangeFrom;
extern PackedDigits rangeTo;

// Back to the start state: both empty (tests).
void resetFormRange();
