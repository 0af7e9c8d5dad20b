// Digit texts packed two digits to a byte, dotted codes, and calendar arithmetic on packed dates.
//
// Each byte holds two decimal digits d1 d2 as 0x80 + (10 * d1 + d2), so plain byte comparison
// of two values of the same length orders them like the numbers they hold. A date is YYYYMMDD
// in 4 bytes; a property code is 4 digits in 2 bytes; all bytes 0x80 is zero (no date, no tenant).
#pragma once

#include <cstdint>
#include <string>

using PackedDigits = std::string;

// Packs a digit text: trimmed of blanks, right-aligned in its own length with "0" on the left,
// then two characters to a byte (non-digits count as 0; an odd last character pairs with 0).
// The result has (length + 1) / 2 bytes.
PackedDigits packDigits(const std::string& text);

// Two digits per byte: the last two decimal digits of (byte AND 127).
std::string unpackDigits(const PackedDigits& bytes);

// Packs a code typed as numbers separated by "." (1.2 gives 00010002). The first number takes
// 6 digits for a 6-character text without "." or an 11-character text with at most one ".",
// otherwise 4; every later number takes 4. Blanks inside a number are skipped when it is read.
PackedDigits packCode(const std::string& text);

// Distance between two packed dates, never depending on their order: unit "A" whole years,
// "M" months (days ignored), "D" days (first character, any case); any other unit gives 0.
// Julian leap years before 1582, Gregorian from 1582 on; the days the reform removed count.
int32_t dateDifference(const PackedDigits& date1, const PackedDigits& date2,
                       const std::string& unit);

// Weekday of a packed date: 1 Monday ... 7 Sunday (Julian calendar before 5 October 1582);
// always within 1 to 7, also for a date that is not valid.
int16_t dayOfWeek(const PackedDigits& date);
