#include "csv.h"

namespace {

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

}  // namespace

bool parseCsv(const std::string& text, std::vector<CsvRow>& rows, std::string& problem) {
  rows.clear();
  size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  int line = 1;
  // Steps over one line end (LF, CR LF or a lone CR) at `at`.
  auto skipLineEnd = [&] {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    ++at;
    ++line;
  };
  while (at < text.size()) {
    if (isLineEnd(text[at])) {
      skipLineEnd();
      continue;
    }
    CsvRow row;
    row.line = line;
    for (;;) {
      CsvCell cell;
      cell.line = line;
      if (at < text.size() && text[at] == '"') {
        int opened = line;
        ++at;
        for (;;) {
          if (at >= text.size()) {
            problem = "line " + std::to_string(opened) + ": quoted field not closed";
            return false;
          }
          char c = text[at];
          if (c == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              cell.text += '"';
              at += 2;
              continue;
            }
            ++at;
            break;
          }
          if (c == '\n' || (c == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'))) ++line;
          cell.text += c;
          ++at;
        }
        if (at < text.size() && text[at] != ',' && !isLineEnd(text[at])) {
          problem = "line " + std::to_string(line) + ": text after the closing quote of field " +
                    std::to_string(row.cells.size() + 1);
          return false;
        }
      } else {
        while (at < text.size() && text[at] != ',' && !isLineEnd(text[at])) cell.text += text[at++];
      }
      row.cells.push_back(std::move(cell));
      if (at < text.size() && text[at] == ',') {
        ++at;
        continue;
      }
      if (at < text.size()) skipLineEnd();
      break;
    }
    rows.push_back(std::move(row));
  }
  return true;
}

std::string csvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    const std::string& field = fields[i];
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
      line += field;
      continue;
    }
    line += '"';
    for (char c : field) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  line += '\n';
  return line;
}
