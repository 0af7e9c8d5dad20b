// Help documents for the console help viewer.
//
// A help document is a sequence of fixed-length records, one per line of help; the record
// length is the console's column count (80 on the standard screen). The bytes are code page
// 850 text with three switch bytes that toggle a colour while the line is shown:
//   30 highlight (colour "h"; no change while underline is on), 31 underline (colour "u"),
//   16 reverse (colour "r").
// Every line starts with the three switches off in colour "n"; switch bytes take no screen
// position, and at most 76 characters of a line are shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr char HelpHighlightSwitch = 30;
constexpr char HelpUnderlineSwitch = 31;
constexpr char HelpReverseSwitch = 16;
constexpr int HelpVisibleColumns = 76;

// A help document held whole: it is small, and holding it lets the viewer page without
// touching the file again. A missing or unreadable file is an empty document.
struct HelpDocument {
  std::string bytes;
  int recordLength = 80;
};

HelpDocument loadHelpDocument(const std::string& name, int recordLength);

// Lines of the document: its length divided by the record length, rounded to the nearest
// whole number (a trailing part record of at least half a record counts as a line).
int helpLineCount(const HelpDocument& document);

// The bytes of line n (counted from 1); a line past the end of the bytes is empty and the
// last line may be shorter than a record.
std::string helpRecord(const HelpDocument& document, int line);

// One stretch of a shown line in one colour: code is the colour code of the screen layer
// ("n", "h", "u" or "r").
struct HelpRun {
  std::string code;
  std::string text;
  bool operator==(const HelpRun&) const = default;
};

// The record as it is shown: the visible bytes (at most HelpVisibleColumns of them) split
// into runs at each colour change, the switch bytes acted on and dropped. Runs are never
// empty; a line that shows nothing gives no runs.
std::vector<HelpRun> helpLineRuns(const std::string& record);
