// Comma-separated values as spreadsheets write them: a header row, fields separated by ",",
// a field holding a comma, a quote or a line end enclosed in quotes with inner quotes
// doubled. Rows end with LF or CR LF.
#pragma once

#include <string>
#include <vector>

struct CsvCell {
  std::string text;
  int line = 0;  // line of the file where the cell starts, from 1
};

struct CsvRow {
  int line = 0;  // line where the row starts
  std::vector<CsvCell> cells;
};

// Splits the whole text into rows; blank lines are skipped and a UTF-8 byte order mark at the
// start is dropped. False, with a message naming the line, on a quote left open or text
// after a closing quote.
bool parseCsv(const std::string& text, std::vector<CsvRow>& rows, std::string& problem);

// One row ending with a line feed, each field quoted only when it needs to be.
std::string csvLine(const std::vector<std::string>& fields);
