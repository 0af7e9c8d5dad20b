#include "ui/screen.h"

#include <algorithm>
#include <cctype>

#include "core/session_settings.h"
#include "platform/console.h"
#include "ui/window_stack.h"

int16_t currentColour = 0;
std::string colourStack;
std::string textStack;

void setColour(std::string& code) {
  for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (code.find_first_not_of(' ') == std::string::npos) return;
  auto has = [&](char c) { return code.find(c) != std::string::npos; };

  if (has('+')) colourStack += static_cast<char>(currentColour);
  int16_t index;
  if (has('-')) {
    index = 0;
    if (!colourStack.empty()) {
      index = static_cast<uint8_t>(colourStack.back());
      colourStack.pop_back();
    }
  } else if (has('U')) {
    index = 4;
  } else {
    index = static_cast<int16_t>((has('N') ? 1 : 0) + (has('R') ? 2 : 0));
  }
  // Only indices 0 to 4 are ever pushed, so the table look-up stays inside it.
  index = std::clamp<int16_t>(index, 0, 4);
  const auto& entry = sessionSettings.colourTable[index];
  console().setColour(entry[0], entry[1]);
  currentColour = index;
}

int16_t screenRows() { return console().windowRows(); }
int16_t screenColumns() { return console().windowColumns(); }

namespace {
struct FrameCharacters {
  char topLeft, topRight, bottomLeft, bottomRight, horizontal, vertical;
};

FrameCharacters frameCharacters(int16_t style) {
  switch (style) {
    case 0: return {' ', ' ', ' ', ' ', ' ', ' '};
    case 1: return {'\xDA', '\xBF', '\xC0', '\xD9', '\xC4', '\xB3'};
    case 2: return {'\xC9', '\xBB', '\xC8', '\xBC', '\xCD', '\xBA'};
    default: return {'\0', '\0', '\0', '\0', '\0', '\0'};
  }
}
}  // namespace

void drawFrame(int16_t style) {
  if (windowDepth == 0) return;
  const FrameCharacters f = frameCharacters(style);
  const WindowBox& box = windowBox;
  const int inner = std::max(0, box.windowRight - box.windowLeft - 1);
  Console& screen = console();
  auto line = [&](int16_t row, char first, char middle, char last) {
    screen.setCursor(row, box.windowLeft);
    screen.writeText(first + std::string(inner, middle) + last);
  };
  line(box.windowTop, f.topLeft, f.horizontal, f.topRight);
  for (int row = box.windowTop + 1; row <= box.windowBottom - 1; ++row) {
    line(static_cast<int16_t>(row), f.vertical, ' ', f.vertical);
  }
  line(box.windowBottom, f.bottomLeft, f.horizontal, f.bottomRight);
}

void locateInWindow(int16_t row, int16_t col) {
  if (windowDepth != 0) {
    row = static_cast<int16_t>(windowBox.windowTop + row);
    col = static_cast<int16_t>(windowBox.windowLeft + col);
  }
  console().setCursor(row, col);
}

int16_t windowInnerTop() {
  return windowDepth != 0 ? static_cast<int16_t>(windowBox.windowTop + 1) : int16_t{1};
}

int16_t windowInnerLeft() {
  return windowDepth != 0 ? static_cast<int16_t>(windowBox.windowLeft + 1) : int16_t{1};
}

int16_t windowInnerRight() {
  return windowDepth != 0 ? static_cast<int16_t>(windowBox.windowRight - 1) : screenColumns();
}

void scrollRegion(int16_t top, int16_t left, int16_t bottom, int16_t right, int16_t lines) {
  Console& screen = console();
  // Bottom-right limited to the buffer, top-left to the bottom-right.
  int lastRow = std::min<int>(bottom + 1, screen.bufferRows());
  int lastColumn = std::min<int>(right + 1, screen.bufferColumns());
  int firstRow = std::clamp<int>(top + 1, 1, std::max(lastRow, 1));
  int firstColumn = std::clamp<int>(left + 1, 1, std::max(lastColumn, 1));
  if (lastRow < 1 || lastColumn < 1) return;
  int move = lines > 0 ? lines : (lines == 0 ? -1 : lines);
  screen.scrollRectangle(static_cast<int16_t>(firstRow), static_cast<int16_t>(firstColumn),
                         static_cast<int16_t>(lastRow), static_cast<int16_t>(lastColumn),
                         static_cast<int16_t>(std::clamp(move, -32767, 32767)));
}

void pushText(const std::string& text) {
  // The length field is 16-bit signed; longer texts keep their first 32767 bytes.
  const size_t length = std::min<size_t>(text.size(), 32767);
  textStack.append(text, 0, length);
  textStack += static_cast<char>(length & 0xFF);
  textStack += static_cast<char>(length >> 8);
}

std::string popText() {
  if (textStack.size() < 2) {
    textStack.clear();
    return "";
  }
  const size_t size = textStack.size();
  const size_t length = static_cast<uint8_t>(textStack[size - 2]) |
                        (static_cast<uint8_t>(textStack[size - 1]) << 8);
  if (length > size - 2) {  // not a stack pushText built: nothing sound to give back
    textStack.clear();
    return "";
  }
  std::string text = textStack.substr(size - 2 - length, length);
  textStack.resize(size - 2 - length);
  return text;
}

void resetScreenState() {
  currentColour = 0;
  colourStack.clear();
  textStack.clear();
}
