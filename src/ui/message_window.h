// The message window (a wrapped text in a framed window centred on a row, left open for
// the caller to close) and the paragraph formatter behind it.
#pragma once

#include <cstdint>
#include <string>

// Shows text, formatted in place into lines of 76 characters, in a single-line frame in
// colour 2 centred about row and about columns 41 and 42. The window stays open: the
// caller removes it with closeWindow. A text too long for the screen opens no window and
// returns false; its closeWindow then does nothing, as for any refused window.
bool showMessageWindow(int16_t row, std::string& text);
inline bool showMessageWindow(int16_t row, std::string&& text) {
  return showMessageWindow(row, text);
}

// Cuts text into lines of width characters (control characters take no width), breaking
// between words, and replaces it by the lines one after the other, each aligned by align:
// "E", "L", "I" left, "N" left filled with "-", "D", "R" right, "C" centred, "A", "B"
// justified (the last line left as it is), anything else unfilled. indent > 0 indents the
// first line, indent < 0 the following ones.
void formatParagraph(std::string& text, int16_t indent, int16_t width, const std::string& align);
