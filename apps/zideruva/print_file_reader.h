// Reading the print file: one entry per line, by kind.
//
// The lines a listing is made of (CR LF or LF line ends):
//   DEVICE<device>          first line only: where the listing goes
//   PAGE<n>                 a new page of n lines
//   *<control>              a printer control ("@e": 12 characters per inch)
//   JUS<code>               justification of the texts after it
//   <column>,<text>,<advance>   a text at a column, then move down <advance> lines
// Numbers are written with a sign character and a trailing blank (" 66 ", "-3 "). The text of
// a positioned line may itself hold commas: it runs from the first comma to the last.
#pragma once

#include <string>
#include <vector>

namespace zideruva {

enum class LineKind { Device, Page, Control, Justification, Text, Unparsed };

struct PrintFileLine {
  LineKind kind = LineKind::Unparsed;
  // Device text, control text, justification code, positioned text, or (Unparsed) the whole
  // line as it was.
  std::string text;
  int column = 0;      // Text
  int advance = 0;     // Text
  int pageLength = 0;  // Page
};

std::vector<PrintFileLine> readPrintFileLines(const std::string& bytes);

}  // namespace zideruva
