// The listing laid out in pages, as a fixed-pitch printer would put it on paper.
//
// Each positioned text starts at its column (counted from 1; column 0 continues right after
// the previous text, a negative column starts the line) and overwrites what lies under it;
// the advance then moves down that many lines. A PAGE line starts a new page of its length,
// and a page that fills up without one continues on the next page. Lines that cannot be read
// are shown as they are, each on a line of its own.
//
// Justification: a JUS code applies to the texts after it up to the end of the current line
// (the next non-zero advance). Every text keeps its code, for a renderer with a proportional
// font to align (right edges for D, centres for C, both edges for A, left for E and the rest);
// in the fixed pitch of the lines below every text starts at its column whatever the code.
#pragma once

#include <string>
#include <vector>

#include "print_file_reader.h"

namespace zideruva {

constexpr int DefaultPageLength = 66;
constexpr int DefaultPitch = 10;  // characters per inch
constexpr int ElitePitch = 12;    // selected by the control "@e"

enum class Justification { Left, Right, Centre, Both };

struct PlacedText {
  int line = 0;    // 0-based line of the page
  int column = 1;  // 1-based column where it starts
  std::string text;
  Justification justification = Justification::Left;
};

struct Page {
  int length = DefaultPageLength;
  int pitch = DefaultPitch;
  // The page in fixed pitch, code page 850, trailing blanks removed, up to the last line
  // holding text.
  std::vector<std::string> lines;
  std::vector<PlacedText> texts;

  int width() const;  // the longest line
};

struct PrintDocument {
  std::string device;
  std::vector<Page> pages;
};

PrintDocument layoutPages(const std::vector<PrintFileLine>& lines);

// The text of a line as shown: control characters become blanks.
std::string shownText(const std::string& text);

}  // namespace zideruva
