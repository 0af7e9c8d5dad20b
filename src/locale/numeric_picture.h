// Numbers and money amounts filled into pictures such as "ZZZ9" or "Z,ZZZ,ZZZ,ZZ9".
#pragma once

#include <cstdint>
#include <string>

// The installation's number characters (loaded from rootDir + "Quon.ini", section Usuari, keys
// DecCaracter and MilCaracter, on the first formatNumber call) and the currency letters that
// setCurrency chooses ("P" pesetas; anything else, normally empty, euros).
struct NumberSettings {
  bool loaded = false;
  char decimalChar = '\'';
  char thousandsChar = '.';
  std::string primaryCurrency;
  std::string alternateCurrency;
  std::string activeCurrency;
};

extern NumberSettings numberSettings;

// Back to the start state: characters not loaded, no currency chosen (tests).
void resetNumberSettings();

// Fills the picture with value. "9" digit or 0, "Z"/"z" digit or blank, "*" digit or "*",
// "." decimal point, "," thousands separator, "-" and "+" signs; other characters are copied.
// A number that does not fit is written plainly, right-aligned, or as all "!" when its
// integer part does not fit either. The result has the picture's length.
std::string formatNumber(const std::string& picture, double value);

// A money amount held in hundredths, shown in the active currency through formatNumber on a
// picture rebuilt from this one (euros get two decimals). The result has the picture's length.
std::string formatPicture(const std::string& picture, double amount);

// "a,X" sets the alternate currency to X; "p,X" (any first letter but A) sets the primary and
// active currency to X; without a comma, "P..." activates the alternate currency when there is
// one and anything else the primary one.
void setCurrency(const std::string& text);

// The number's digits (its sign dropped) with "0" on the left, cut to its last width characters.
std::string padNumber(double value, int16_t width);
