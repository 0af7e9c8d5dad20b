#include "print_file_reader.h"

#include <cstdint>

namespace zideruva {
namespace {

// A number field: blanks, an optional sign, digits, blanks. Only 16-bit values are accepted,
// as no writer produces anything wider.
bool parseNumberField(const std::string& field, int& value) {
  size_t at = field.find_first_not_of(' ');
  if (at == std::string::npos) return false;
  bool negative = field[at] == '-';
  if (field[at] == '-' || field[at] == '+') ++at;
  long magnitude = 0;
  size_t digits = 0;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at, ++digits) {
    magnitude = magnitude * 10 + (field[at] - '0');
    if (magnitude > 32768) return false;
  }
  if (digits == 0 || field.find_first_not_of(' ', at) != std::string::npos) return false;
  long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT16_MAX) return false;
  value = static_cast<int>(signedValue);
  return true;
}

bool startsWith(const std::string& line, const char* prefix) {
  return line.rfind(prefix, 0) == 0;
}

PrintFileLine parseLine(const std::string& line, bool first) {
  PrintFileLine parsed;
  parsed.text = line;
  if (first && startsWith(line, "DEVICE")) {
    parsed.kind = LineKind::Device;
    parsed.text = line.substr(6);
  } else if (startsWith(line, "PAGE")) {
    int length = 0;
    if (parseNumberField(line.substr(4), length)) {
      parsed.kind = LineKind::Page;
      parsed.pageLength = length;
    }
  } else if (startsWith(line, "*")) {
    parsed.kind = LineKind::Control;
    parsed.text = line.substr(1);
  } else if (startsWith(line, "JUS")) {
    parsed.kind = LineKind::Justification;
    parsed.text = line.substr(3);
  } else {
    size_t open = line.find(',');
    size_t close = line.rfind(',');
    int column = 0, advance = 0;
    if (open != std::string::npos && close > open &&
        parseNumberField(line.substr(0, open), column) &&
        parseNumberField(line.substr(close + 1), advance)) {
      parsed.kind = LineKind::Text;
      parsed.text = line.substr(open + 1, close - open - 1);
      parsed.column = column;
      parsed.advance = advance;
    }
  }
  return parsed;
}

}  // namespace

std::vector<PrintFileLine> readPrintFileLines(const std::string& bytes) {
  std::vector<PrintFileLine> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(parseLine(line, lines.empty()));
    start = end + 1;
  }
  return lines;
}

}  // namespace zideruva
