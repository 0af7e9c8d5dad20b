#include "platform/memory_console.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/code_page.h"

namespace {
// Waits on an exhausted script after which a test is plainly stuck in a loop.
constexpr int StuckAfterExhaustedWaits = 10000;
}  // namespace

MemoryConsole::MemoryConsole(int16_t rows, int16_t columns)
    : rows_(std::max<int16_t>(rows, 1)),
      columns_(std::max<int16_t>(columns, 1)),
      cells_(static_cast<size_t>(rows_) * columns_) {}

bool MemoryConsole::inside(int16_t row, int16_t column) const {
  return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
}

ConsoleCell& MemoryConsole::at(int16_t row, int16_t column) {
  return cells_[static_cast<size_t>(row - 1) * columns_ + (column - 1)];
}

void MemoryConsole::setCursor(int16_t row, int16_t column) {
  if (row >= 1 && row <= rows_) cursorRow_ = row;
  if (column >= 1 && column <= columns_) cursorColumn_ = column;
}

void MemoryConsole::getCursor(int16_t& row, int16_t& column) {
  row = cursorRow_;
  column = cursorColumn_;
}

void MemoryConsole::setCursorShape(bool visible, int16_t sizePercent) {
  cursorVisible_ = visible;
  cursorSize_ = sizePercent;
}

void MemoryConsole::setColour(int16_t foreground, int16_t background) {
  attribute_ = attributeWithColours(attribute_, foreground, background);
}

void MemoryConsole::writeText(const std::string& bytes) {
  for (char byte : bytes) {
    // The cursor rests on the last cell once it is written; what follows is dropped.
    if (cursorRow_ > rows_) break;
    at(cursorRow_, cursorColumn_) = {static_cast<uint8_t>(byte), attribute_};
    if (cursorColumn_ < columns_) {
      ++cursorColumn_;
    } else if (cursorRow_ < rows_) {
      ++cursorRow_;
      cursorColumn_ = 1;
    } else {
      cursorRow_ = rows_ + 1;
    }
  }
  if (cursorRow_ > rows_) cursorRow_ = rows_;
}

void MemoryConsole::writeBlanks(int16_t count) {
  if (count > 0) writeText(std::string(count, ' '));
}

void MemoryConsole::writeCodePoint(char32_t codePoint) {
  int byte = byteForUnicode(codePoint);
  writeText(std::string(1, static_cast<char>(byte < 0 ? '?' : byte)));
}

ConsoleCell MemoryConsole::readCell(int16_t row, int16_t column) {
  if (!inside(row, column)) return ConsoleCell{' ', 0};
  return at(row, column);
}

void MemoryConsole::scrollRectangle(int16_t top, int16_t left, int16_t bottom, int16_t right,
                                    int16_t lines) {
  top = std::max<int16_t>(top, 1);
  left = std::max<int16_t>(left, 1);
  bottom = std::min(bottom, rows_);
  right = std::min(right, columns_);
  if (top > bottom || left > right || lines == 0) return;
  int height = bottom - top + 1;
  std::vector<ConsoleCell> copy = cells_;
  for (int row = top; row <= bottom; ++row) {
    // Up moves row + lines into row; down (lines < 0) moves row - |lines| into it.
    int from = row + lines;
    for (int column = left; column <= right; ++column) {
      ConsoleCell& target = at(static_cast<int16_t>(row), static_cast<int16_t>(column));
      if (std::abs(lines) < height && from >= top && from <= bottom) {
        target = copy[static_cast<size_t>(from - 1) * columns_ + (column - 1)];
      } else {
        target = {' ', attribute_};
      }
    }
  }
}

void MemoryConsole::clear() {
  std::fill(cells_.begin(), cells_.end(), ConsoleCell{' ', attribute_});
  cursorRow_ = cursorColumn_ = 1;
}

std::string MemoryConsole::takeInput() {
  if (events_.empty()) return "";
  Event event = events_.front();
  events_.pop_front();
  controlKeys_ = event.controlKeys;
  if (event.keyText.size() == 4 && static_cast<uint8_t>(event.keyText[0]) == MouseKeyTextLead) {
    mouseRow_ = event.row;
    mouseColumn_ = event.column;
  }
  return event.keyText;
}

bool MemoryConsole::waitForInput(int timeoutMs) {
  if (events_.empty() && idleHandler_) idleHandler_(*this);
  if (!events_.empty() || timeoutMs >= 0) return !events_.empty();
  if (++exhaustedWaits_ >= StuckAfterExhaustedWaits) {
    std::fprintf(stderr, "MemoryConsole: scripted input exhausted, program keeps waiting\n%s\n",
                 screenText().c_str());
    std::abort();
  }
  pushKey(27);
  return true;
}

void MemoryConsole::mousePosition(int16_t& row, int16_t& column) {
  row = mouseRow_;
  column = mouseColumn_;
}

void MemoryConsole::pushKey(int16_t code, uint16_t controlKeys) {
  uint16_t value = static_cast<uint16_t>(code);
  std::string keyText;
  if (value >= 1 && value <= 255) {
    keyText = std::string(1, static_cast<char>(value));
  } else {
    keyText = std::string(1, '\0') + static_cast<char>(value >> 8);
  }
  pushEvent(keyText, controlKeys);
}

void MemoryConsole::pushChars(const std::string& bytes, uint16_t controlKeys) {
  for (char byte : bytes) pushEvent(std::string(1, byte), controlKeys);
}

void MemoryConsole::pushMouseClick(int16_t row, int16_t column, uint8_t button,
                                   uint16_t controlKeys) {
  std::string keyText = {static_cast<char>(MouseKeyTextLead), static_cast<char>(MouseKeyTextLead),
                         static_cast<char>(MouseButtonReleased), static_cast<char>(button)};
  pushEvent(keyText, controlKeys, row, column);
}

void MemoryConsole::pushMouseMove(int16_t row, int16_t column, uint16_t controlKeys) {
  std::string keyText = {static_cast<char>(MouseKeyTextLead), static_cast<char>(MouseKeyTextLead),
                         1, 0};
  pushEvent(keyText, controlKeys, row, column);
}

void MemoryConsole::pushEvent(const std::string& keyText, uint16_t controlKeys, int16_t row,
                              int16_t column) {
  events_.push_back({keyText, controlKeys, row, column});
}

void MemoryConsole::setIdleHandler(std::function<void(MemoryConsole&)> handler) {
  idleHandler_ = std::move(handler);
}

std::string MemoryConsole::rowText(int16_t row) { return text(row, 1, columns_); }

std::string MemoryConsole::text(int16_t row, int16_t column, int16_t length) {
  std::string result;
  for (int16_t i = 0; i < length; ++i) {
    result += static_cast<char>(readCell(row, static_cast<int16_t>(column + i)).character);
  }
  return result;
}

std::string MemoryConsole::screenText() {
  std::string result;
  for (int16_t row = 1; row <= rows_; ++row) result += rowText(row) + "\n";
  return result;
}

void MemoryConsole::fill(uint8_t character, uint8_t attribute) {
  std::fill(cells_.begin(), cells_.end(), ConsoleCell{character, attribute});
}
