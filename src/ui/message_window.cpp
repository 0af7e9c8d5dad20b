#include "ui/message_window.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/console.h"
#include "ui/screen.h"
#include "ui/text_trim.h"
#include "ui/window_stack.h"

namespace {

bool isControl(char c) { return static_cast<uint8_t>(c) < 32; }
bool isAboveBlank(char c) { return static_cast<uint8_t>(c) > 32; }

// Adds blanks into the gaps between the words after the indent, one at a time from the
// left and round again, until the line is missing long. No gap, no change.
std::string justified(const std::string& line, size_t indent, size_t missing) {
  std::vector<size_t> gapEnds;  // index just after each run of blanks between words
  for (size_t i = indent + 1; i < line.size(); ++i) {
    const bool runEnds = line[i] != ' ' && line[i - 1] == ' ';
    if (!runEnds) continue;
    size_t runStart = i - 1;
    while (runStart > indent && line[runStart - 1] == ' ') --runStart;
    if (runStart > indent) gapEnds.push_back(i);
  }
  if (gapEnds.empty()) return line;
  std::vector<size_t> extra(gapEnds.size(), missing / gapEnds.size());
  for (size_t g = 0; g < missing % gapEnds.size(); ++g) ++extra[g];
  std::string result;
  size_t from = 0;
  for (size_t g = 0; g < gapEnds.size(); ++g) {
    result += line.substr(from, gapEnds[g] - from) + std::string(extra[g], ' ');
    from = gapEnds[g];
  }
  return result + line.substr(from);
}

std::string aligned(const std::string& line, size_t indent, size_t fullLength,
                    const std::string& align, bool moreFollows) {
  if (line.size() >= fullLength) return line;
  const size_t missing = fullLength - line.size();
  if (align == "E" || align == "L" || align == "I") return line + std::string(missing, ' ');
  if (align == "N") return line + std::string(missing, '-');
  if (align == "D" || align == "R") return std::string(missing, ' ') + line;
  if (align == "C") {
    return std::string(missing / 2, ' ') + line + std::string(missing - missing / 2, ' ');
  }
  if (align == "A" || align == "B") {
    const bool blankAfterIndent = line.find(' ', indent) != std::string::npos;
    return moreFollows && blankAfterIndent ? justified(line, indent, missing) : line;
  }
  return line;
}

std::vector<std::string> paragraphLines(const std::string& text, int16_t indent, int16_t width,
                                        std::string align) {
  for (char& c : align) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<std::string> lines;
  const size_t n = text.size();
  size_t start = 0;
  while (start < n) {
    const bool firstLine = lines.empty();
    const int lineIndent = firstLine ? std::max<int>(indent, 0) : std::max<int>(-indent, 0);
    // A line always takes something, even when the indent leaves no room.
    const int room = std::max(1, width - lineIndent);

    size_t taken = start;
    int count = 0;
    while (taken < n && count < room) {
      if (!isControl(text[taken])) ++count;
      ++taken;
    }
    if (count == room && text[taken - 1] != ' ') {
      while (taken < n && isControl(text[taken])) ++taken;
    }

    size_t end = taken;
    if (end < n && isAboveBlank(text[end])) {  // a word would be split: break before it
      size_t wordStart = end;
      while (wordStart > start && isAboveBlank(text[wordStart - 1])) --wordStart;
      end = wordStart > start ? wordStart - 1 : start;
    }
    if (end == n || isControl(text[end])) {
      while (end > start && text[end - 1] == ' ') --end;
    }
    if (end == start) end = taken;  // a word longer than the room is cut at the room

    const std::string piece = text.substr(start, end - start);
    start = end;
    while (start < n && text[start] == ' ') ++start;

    const std::string line = std::string(lineIndent, ' ') + piece;
    const size_t controls = std::count_if(piece.begin(), piece.end(), isControl);
    lines.push_back(aligned(line, lineIndent, width + controls, align, start < n));
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

}  // namespace

void formatParagraph(std::string& text, int16_t indent, int16_t width, const std::string& align) {
  text = joined(paragraphLines(text, indent, width, align));
}

bool showMessageWindow(int16_t row, std::string& text) {
  setColour("+rh");
  const std::vector<std::string> lines = paragraphLines(text, 0, 76, "i");
  text = joined(lines);
  const int count = static_cast<int>(lines.size());

  int top = std::max(1, row - (count + 1) / 2 - 2);
  int bottom = top + count + 1;
  if (bottom > screenRows()) {
    bottom = screenRows();
    top = bottom - count - 1;
  }
  int left = 0, right = 0;
  for (const std::string& line : lines) {
    const int g = static_cast<int>(withoutTrailingBlanks(line).size());
    if (right - left < g + 4) {
      left = 41 - (g + 1) / 2 - 2;
      right = g / 2 + 42;
    }
  }
  // A box that does not fit (too many lines, or no text at all) is refused by
  // openWindow, which also makes the caller's closeWindow a no-op.
  if (!openWindow(static_cast<int16_t>(top), static_cast<int16_t>(left),
                  static_cast<int16_t>(bottom), static_cast<int16_t>(right))) {
    setColour("-");
    return false;
  }
  drawFrame(1);
  for (int k = 1; k <= count; ++k) {
    const std::string& line = lines[k - 1];
    locateInWindow(static_cast<int16_t>(k), 2);
    console().writeText(withoutTrailingBlanks(line));
  }
  setColour("-");
  return true;
}
