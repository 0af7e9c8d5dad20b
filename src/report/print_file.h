// The print file: the listing written as positioned texts and control lines, which the print
// program ZIDERUVA reads once the file is closed.
//
// Every line ends with CR LF. The kinds of line:
//   "DEVICE" + device text                      first line, written by openPrintFile
//   "PAGE" + number field (page length)         startPage
//   "*" + control text                          printControl
//   "JUS" + justification code                  setJustification
//   number field (column) "," text "," number field (advance)   printAt
// A number field is a sign character (blank, or "-" for a negative number), the decimal
// digits and one trailing blank: 66 is " 66 ".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct PrintFileState {
  FILE* printFile = nullptr;  // open while a report is being written
  int16_t linesOnPage = 0;    // lines advanced since the last PAGE line
  int16_t pageLength = 0;     // page length of the last PAGE line
  std::string fileName;       // the print file of the last openPrintFile
  int failure = 0;            // errno of the first failure to create or write it; 0 = none
};

extern PrintFileState printFileState;

// sessionSettings.tempDir + "zideruva.tmp"
std::string printFileName();

// Creates the print file anew (an existing one is truncated; another process holding it makes
// this fail) and writes the device line. False when it cannot be created: the failure is
// kept in printFileState (see printFileFailureReason), and the lines printed until
// closePrintFile are dropped.
bool openPrintFile(const std::string& device);

// Closes the print file. False when the file was never created or a line could not be written
// (a full disk): the listing in it is not complete and must not be handed to the print program.
bool closePrintFile();

// The system's reason for the last failure ("No space left on device"); empty when none.
std::string printFileFailureReason();

// Writes the PAGE line; pageLength := length, linesOnPage := 0.
void startPage(int16_t length);
// Writes the control line "*" + text.
void printControl(const std::string& text);
// Writes "JUS" + the code of setting: C; D (for D or R); A (for A or B); N with its number and
// its \...\ part; E for anything else.
void setJustification(const std::string& setting);
// Writes one positioned text: control characters (0-31, 127, 255) become blanks, and a full
// page (linesOnPage >= pageLength) first starts a new page of the same length.
void printAt(int16_t column, const std::string& text, int16_t advance);

// Closes any open file and goes back to the start state (tests).
void resetPrintFileState();
