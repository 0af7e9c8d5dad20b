#include "ui/form_range.h"

PackedDigits rangeFrom;
PackedDigits rangeTo;

void resetFormRange() {
  rangeFrom.clear();
  rangeTo.clear();
}
