#include "listing_text.h"

std::vector<std::string> listingLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    line.erase(line.find_last_not_of(' ') + 1);
    lines.push_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::string placed(const std::vector<std::pair<size_t, std::string>>& texts) {
  std::string line;
  size_t characters = 0;
  for (const auto& [column, text] : texts) {
    line += std::string(column - 1 - characters, ' ');
    line += text;
    characters = column - 1;
    for (char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }
  return line.erase(line.find_last_not_of(' ') + 1);
}
