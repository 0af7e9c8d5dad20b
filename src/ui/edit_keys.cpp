// The field editor's settings: exit keys with their save stack, the mask character and
// the choice list; and the numeric-text check of numeric fields.
#include "ui/edit_keys.h"

#include <cctype>

#include "ui/field_editor.h"
#include "ui/text_trim.h"

std::string editChoices;
int16_t editMaskChar = 0;
std::string exitKeyCodes;
std::string exitKeyResults;
std::vector<SavedExitKeys> savedExitKeys;

namespace {

constexpr int16_t MaskCharacter = 'X';

// Hexadecimal digits up to the first other character; 8000 and above are the negative
// 16-bit codes. Blanks around the digits are allowed.
int16_t hexKey(const std::string& digits) {
  unsigned value = 0;
  for (char c : withoutOuterBlanks(digits)) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) break;
    const unsigned digit = std::isdigit(static_cast<unsigned char>(c))
                               ? static_cast<unsigned>(c - '0')
                               : static_cast<unsigned>(std::tolower(c) - 'a' + 10);
    value = (value * 16 + digit) & 0xFFFF;
  }
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

std::string keyBytes(int16_t key) {
  const auto value = static_cast<uint16_t>(key);
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

struct KeyEntry {
  int16_t accepted;
  int16_t reported;
};

// "4d00,1b,3b00=1b": each entry accepted as itself, or as the code after "=". Blank
// entries are skipped.
std::vector<KeyEntry> keyEntries(const std::string& keyList) {
  std::vector<KeyEntry> entries;
  size_t start = 0;
  while (start <= keyList.size()) {
    size_t comma = keyList.find(',', start);
    if (comma == std::string::npos) comma = keyList.size();
    const std::string entry = keyList.substr(start, comma - start);
    start = comma + 1;
    if (withoutOuterBlanks(entry).empty()) continue;
    const size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      const int16_t key = hexKey(entry);
      entries.push_back({key, key});
    } else {
      entries.push_back({hexKey(entry.substr(0, equals)), hexKey(entry.substr(equals + 1))});
    }
  }
  return entries;
}

void addExitKeys(const std::string& keyList) {
  for (const KeyEntry& entry : keyEntries(keyList)) {
    exitKeyCodes += keyBytes(entry.accepted);
    exitKeyResults += keyBytes(entry.reported);
  }
}

void removeExitKeys(const std::string& keyList) {
  for (const KeyEntry& entry : keyEntries(keyList)) {
    const int at = exitKeyIndex(entry.accepted);
    if (at < 0) continue;
    exitKeyCodes.erase(static_cast<size_t>(at), 2);
    if (exitKeyResults.size() > static_cast<size_t>(at)) {
      exitKeyResults.erase(static_cast<size_t>(at), 2);
    }
  }
}

}  // namespace

int exitKeyIndex(int16_t key) {
  const std::string wanted = keyBytes(key);
  for (size_t at = 0; at + 1 < exitKeyCodes.size(); at += 2) {
    if (exitKeyCodes.compare(at, 2, wanted) == 0) return static_cast<int>(at);
  }
  return -1;
}

bool takeExitKey(int16_t& key) {
  if (exitKeyCodes.empty()) return true;
  const int at = exitKeyIndex(key);
  if (at < 0) return false;
  const size_t result = static_cast<size_t>(at);
  if (exitKeyResults.size() >= result + 2) {
    key = static_cast<int16_t>(static_cast<uint8_t>(exitKeyResults[result]) |
                               static_cast<uint8_t>(exitKeyResults[result + 1]) << 8);
  }
  return true;
}

void setEditKeys(const std::string& mode, const std::string& keyList) {
  for (char command : mode) {
    switch (std::toupper(static_cast<unsigned char>(command))) {
      case 'A':
        addExitKeys(keyList);
        break;
      case 'D':
        removeExitKeys(keyList);
        break;
      case 'E':
        exitKeyCodes.clear();
        exitKeyResults.clear();
        break;
      case '+':
        savedExitKeys.push_back({exitKeyCodes, exitKeyResults});
        break;
      case '-':
        if (!savedExitKeys.empty()) {
          exitKeyCodes = std::move(savedExitKeys.back().codes);
          exitKeyResults = std::move(savedExitKeys.back().results);
          savedExitKeys.pop_back();
        }
        break;
      case 'H':
        editMaskChar = MaskCharacter;
        break;
      case 'V':
        editMaskChar = 0;
        break;
      default:
        break;
    }
  }
}

void setEditChoices(const std::string& choices) {
  editChoices = choices;
}

int16_t isInvalidNumber(const std::string& text, const std::string& allowed) {
  const bool dotAllowed = allowed.find('.') != std::string::npos;
  const bool signAllowed = allowed.find_first_of("+-") != std::string::npos;
  bool digitSeen = false, dotSeen = false, signSeen = false;
  for (char c : text) {
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      digitSeen = true;
    } else if (c == '.') {
      if (!dotAllowed || dotSeen) return -1;
      dotSeen = true;
    } else if (c == '+' || c == '-') {
      if (!signAllowed || signSeen || digitSeen || dotSeen) return -1;
      signSeen = true;
    } else {
      return -1;
    }
  }
  return 0;
}

void resetFieldEditor() {
  editChoices.clear();
  editMaskChar = 0;
  exitKeyCodes.clear();
  exitKeyResults.clear();
  savedExitKeys.clear();
}
