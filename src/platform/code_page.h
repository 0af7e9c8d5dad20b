// Code page 858 (code page 850 with the euro sign at 213) against Unicode, as the console
// shows it. Bytes 1 to 31 and 127 are shown as the classic console glyphs (0x10 a
// right-pointing and 0x11 a left-pointing triangle, and the rest of that set) and map back
// to their bytes, so a glyph saved from the screen restores as the same glyph.
#pragma once

#include <cstdint>

// The character shown for a byte (byte 0 shows as a blank).
char32_t unicodeForByte(uint8_t byte);
// The byte for a character, or -1 when the code page lacks it.
int byteForUnicode(char32_t codePoint);
