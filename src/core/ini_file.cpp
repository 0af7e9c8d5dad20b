#include "core/ini_file.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "platform/files.h"

namespace {

// Single-byte upper-casing of code page 850: ASCII letters and the accented small letters
// that have a capital in the code page.
constexpr std::array<uint8_t, 256> upperCaseTable() {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<uint8_t>(c);
  for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<uint8_t>(c - 32);
  constexpr uint8_t pairs[][2] = {
      {129, 154}, {130, 144}, {131, 182}, {132, 142}, {133, 183}, {134, 143}, {135, 128},
      {136, 210}, {137, 211}, {138, 212}, {139, 216}, {140, 215}, {141, 222}, {145, 146},
      {147, 226}, {148, 153}, {149, 227}, {150, 234}, {151, 235}, {160, 181}, {161, 214},
      {162, 224}, {163, 233}, {164, 165}, {198, 199}, {208, 209}, {228, 229}, {236, 237}};
  for (const auto& pair : pairs) table[pair[0]] = pair[1];
  return table;
}

constexpr std::array<uint8_t, 256> kUpperCase = upperCaseTable();

std::string upperCased(std::string text) {
  for (char& c : text) c = static_cast<char>(kUpperCase[static_cast<uint8_t>(c)]);
  return text;
}

std::string trimmedBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Reads lines as the configuration files are written: a line ends at a carriage return
// (a line feed right after it is skipped) or at the end of the file; byte 0x1A ends the
// file. The comment (from the first ";") is never stored, so a long comment costs nothing.
class IniLineReader {
 public:
  explicit IniLineReader(FILE* file) : file_(file) {}

  // The next line without its comment; false at the end of the file.
  bool next(std::string& line) {
    line.clear();
    if (ended_) return false;
    bool inComment = false;
    bool any = false;
    for (;;) {
      int c = std::getc(file_);
      if (c == EOF || c == 0x1A) {
        ended_ = true;
        return any;
      }
      any = true;
      if (c == '\r') {
        int following = std::getc(file_);
        if (following != '\n' && following != EOF) std::ungetc(following, file_);
        return true;
      }
      if (c == ';') inComment = true;
      if (!inComment) line.push_back(static_cast<char>(c));
    }
  }

 private:
  FILE* file_;
  bool ended_ = false;
};

}  // namespace

std::string readIniValue(const std::string& fileName, const std::string& section,
                         const std::string& key) {
  FILE* file = openFile(fileName, "rb");
  if (!file) return "";

  const std::string wantedSection = upperCased(trimmedBlanks(section));
  const std::string wantedKey = upperCased(trimmedBlanks(key));
  IniLineReader reader(file);
  bool inSection = false;
  std::string value;
  std::string line;
  while (reader.next(line)) {
    size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    line.erase(0, start);

    if (line[0] == '[') {
      if (inSection) break;  // the next header ends the wanted section
      size_t close = line.find(']');
      std::string name = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      if (upperCased(trimmedBlanks(name)) == wantedSection) inSection = true;
      continue;
    }
    if (!inSection) continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string name = line.substr(0, equals);
    size_t nameEnd = name.find_last_not_of(' ');
    name.resize(nameEnd == std::string::npos ? 0 : nameEnd + 1);
    if (upperCased(name) == wantedKey) {
      value = line.substr(equals + 1);
      break;
    }
  }
  std::fclose(file);

  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value;
}
