// Packed dates as the texts shown on screen and printed in listings.
#pragma once

#include <cstdint>
#include <string>

#include "locale/packed_digits.h"

// The installation's date order ("D", "M", "A" in writing order, capitals) and separator,
// loaded from rootDir + "Quon.ini", section Usuari, keys DatOrdre and DatCaracter, on the
// first formatDate call and kept for the run.
struct DateSettings {
  bool loaded = false;
  char dateSeparator = '/';
  std::string dateOrder = "DMA";
};

extern DateSettings dateSettings;

// Back to the start state: settings not loaded (tests).
void resetDateSettings();

// A 4-byte packed date as text.
//   style -1: YYYY-MM-DD, whatever fields says;
//   style 0:  numbers joined by the separator, fixed width;
//   style 1:  like 0 with the 3-letter month name, fixed width;
//   style 2+: long form in sessionSettings.languageCode, e.g. "1 d'abril del 2024".
// fields names the parts to include ("D", "M", "A" in any case and order); the order comes
// from the settings. A date whose month and day are both 0 gives blanks (styles 0 and 1) or
// an empty text (style 2 and above).
std::string formatDate(const PackedDigits& date, int16_t style, const std::string& fields);
