// Small text operations on code page 850 byte texts: case folding, repeated-character tests,
// centring, and record bytes as text.
#pragma once

#include <cstdint>
#include <string>

// -1 while the field editor matches a typed character against its choices: foldText then maps
// to accent-free capitals and blanks. 0 (the start state) selects plain upper-casing; the
// holder sets it back to 0 when done.
extern int16_t foldForMatching;

// Each character with code 64 to 237 mapped through the table foldForMatching selects; other
// codes stay. The result has the length of the text.
std::string foldText(const std::string& text);

// -1 when the text is empty or made only of the character with that code; 0 otherwise.
int16_t isRepeatedChar(const std::string& text, int16_t code);

// (width - length of text) / 2, truncated toward zero; negative for a text wider than width.
int16_t centerOffset(const std::string& text, int16_t width);

// The n bytes found at address, zero bytes included (nothing for n below 1).
std::string bytesAt(const void* address, int16_t n);
