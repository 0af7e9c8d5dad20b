// Help documents written as readable text, and the two forms they are delivered in: the
// fixed-record document of the console viewer (ui/help_file.h) and an HTML page for Windows
// terminals. tools/make-help turns the sources into both.
//
// Source text is UTF-8, one help line per source line (CR LF or LF). Marks toggle a colour
// and must close on the line that opens them:
//   **text**  highlight      __text__  underline      ~~text~~  reverse
// A line holds at most 76 visible characters, and its bytes with the switch bytes must fit
// in one record. Every character must exist in code page 850; control characters (tabs
// included) are refused.
#pragma once

#include <string>

// The records of the console help: each line's code page 850 bytes with its switch bytes,
// blank-padded to recordLength. False with problem naming the line when the source breaks a
// rule above.
bool buildHelpRecords(const std::string& source, int recordLength, std::string& records,
                      std::string& problem);

// The HTML page of the same help: the lines in a <pre> block, each colour run in a span of
// the class h, u or r, plain ASCII with character references (so it reads the same in any
// ASCII-based encoding), lines ending in CR LF. The page title is the source's first line
// that shows something.
bool buildHelpPage(const std::string& source, std::string& html, std::string& problem);
