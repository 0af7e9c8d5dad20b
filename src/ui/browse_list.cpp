#include "ui/browse_list.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/console.h"
#include "records/record_operations.h"
#include "resources/form_definition.h"
#include "ui/browse_file.h"
#include "ui/browse_hooks.h"
#include "ui/field_editor.h"
#include "ui/form_engine.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/text_trim.h"
#include "ui/window_stack.h"

namespace {

constexpr int32_t ScrollColumns = 8;
// Frame line characters of code page 850, and the arrows that replace the top corners
// while the text goes on beyond the window.
constexpr char FrameTopLeft = '\xC9';
constexpr char FrameTopRight = '\xBB';
constexpr char FrameHorizontal = '\xCD';
constexpr char32_t ArrowLeft = U'\u25C4';
constexpr char32_t ArrowRight = U'\u25BA';
// The keys the list reacts to, and F4 for a list with a linked list.
const char* const ListKeys = "d,1b,4800,5000,4900,5100,4b00,4d00";
const char* const LinkedListKey = "3e00";

// Working state of one open list.
struct BrowseListState {
  int16_t listNumber = 0;
  BrowseListDef def;
  int16_t rows = 0;
  int16_t cols = 0;
  BrowseFile file;
  BrowseLine current;            // the line under the cursor
  int32_t currentPosition = 1;   // position of its header
  int32_t filePosition = 1;      // where the next line is fetched from
  int16_t cursorRow = 1;         // window row of the current line
  int32_t pageTop = 1;           // position of the first line shown
  int32_t nextPageTop = 0;       // position after the last line shown; 0 = list end shown
  int32_t offset = 1;            // first text column shown
  int32_t widestOverflow = 0;    // largest (text length - cols) of the lines drawn
  int32_t lastLinePosition = 0;  // header of the last line appended
  bool scanStarted = false;
  bool sourceExhausted = false;
  bool atFirstLine = true;
  bool atEnd = false;
  std::string startKey;
  std::string endKey;  // in the collation of the file's key once the scan has started
};

// The current record's key cut to the end key's length, in the file's collation, lies
// beyond the end key. An empty end key bounds nothing.
bool beyondEndKey(const BrowseListState& s) {
  const std::string prefix = currentKeyCollationText(s.def.recordFile).substr(0, s.endKey.size());
  return keyCollationText(prefix, s.def.recordFile) > s.endKey;
}

// Polls the keyboard without waiting: true for Esc; anything else read here is dropped.
bool escapePressed() {
  int16_t key = 0, button = 0, mouseRow = 0, mouseCol = 0;
  readKeyEvent(key, button, mouseRow, mouseCol);
  return key == KeyEsc;
}

// Reads records until one gives a line, appends it, and returns it with its position.
// false when the source runs out first.
bool produceLine(BrowseListState& s, int32_t& position, BrowseLine& line) {
  const int16_t recordFile = s.def.recordFile;
  int16_t status = 0;
  if (!s.scanStarted) {
    s.scanStarted = true;
    findRecord(recordFile, s.def.listKey, s.startKey, 1, status);
    s.endKey = keyCollationText(s.endKey, recordFile);
    if (status != 0 || beyondEndKey(s)) s.sourceExhausted = true;
  }
  while (!s.sourceExhausted) {
    const std::string text = withoutTrailingBlanks(browseRowText(s.listNumber));
    bool appended = false;
    if (!text.empty()) {
      line = BrowseLine{s.lastLinePosition, recordPosition(recordFile, 0), text};
      position = appendBrowseLine(s.file, line);
      // A list file that cannot grow ends the list where it is.
      if (position == 0) {
        s.sourceExhausted = true;
        return false;
      }
      s.lastLinePosition = position;
      appended = true;
    }
    stepRecord(recordFile, 1, status);
    if (status != 0 || beyondEndKey(s) || escapePressed()) s.sourceExhausted = true;
    if (appended) return true;
  }
  return false;
}

// Makes the line at filePosition the current line, producing it from the record file when
// the list file ends there. false, with the current line kept, when there is no line.
bool fetchNextLine(BrowseListState& s) {
  int32_t position = s.filePosition;
  BrowseLine line;
  int32_t next = 0;
  bool found = readBrowseLine(s.file, position, line, next);
  if (!found && position == s.file.size + 1 && !s.sourceExhausted) {
    found = produceLine(s, position, line);
    next = s.file.size + 1;
  }
  if (found) {
    s.current = std::move(line);
    s.currentPosition = position;
    s.filePosition = next;
  }
  s.atFirstLine = s.current.previous == 0;
  s.atEnd = !found || (s.filePosition == s.file.size + 1 && s.sourceExhausted);
  return found;
}

// Moves the current line by n lines (backwards through the chain when n < 0), stopping at
// either end; the number of lines actually moved.
int moveLines(BrowseListState& s, int n) {
  int moved = 0;
  for (int i = 0; i < std::abs(n); ++i) {
    const int32_t from = s.filePosition;
    if (n < 0) {
      if (s.current.previous == 0) {
        s.atFirstLine = true;
        break;
      }
      s.filePosition = s.current.previous;
    }
    if (!fetchNextLine(s)) {
      // A backward chain that leads nowhere: the current line counts as the first.
      s.filePosition = from;
      if (n < 0) s.atFirstLine = true;
      break;
    }
    ++moved;
    if (s.atEnd) break;
  }
  return moved;
}

// One line at window row `row`: the text from offset, cols characters, blank-padded.
void writeLine(const BrowseListState& s, int16_t row, const std::string& text) {
  std::string shown;
  if (static_cast<size_t>(s.offset - 1) < text.size()) {
    shown = text.substr(static_cast<size_t>(s.offset - 1), static_cast<size_t>(s.cols));
  }
  shown.resize(static_cast<size_t>(s.cols), ' ');
  locateInWindow(row, 1);
  console().writeText(shown);
}

void writeBlankRows(const BrowseListState& s, int16_t from) {
  for (int16_t row = from; row <= s.rows; ++row) writeLine(s, row, "");
}

// The heading in the top frame line; the corners become arrows while there is more to
// see on that side.
void drawHeading(const BrowseListState& s) {
  setColour("+n");
  locateInWindow(0, 0);
  if (s.offset == 1) {
    console().writeText(std::string(1, FrameTopLeft));
  } else {
    console().writeCodePoint(ArrowLeft);
  }
  const std::string& heading = s.def.heading;
  std::string bar;
  for (int32_t column = s.offset; column < s.offset + s.cols; ++column) {
    const char c =
        static_cast<size_t>(column) <= heading.size() ? heading[size_t(column - 1)] : ' ';
    bar += c == ' ' ? FrameHorizontal : c == '_' ? ' ' : c;
  }
  console().writeText(bar);
  const bool headingFits = static_cast<int32_t>(heading.size()) < s.offset + s.cols;
  if (s.offset > s.widestOverflow && headingFits) {
    console().writeText(std::string(1, FrameTopRight));
  } else {
    console().writeCodePoint(ArrowRight);
  }
  setColour("-");
}

// Draws the page that starts at filePosition, then makes the line under the cursor
// current again. The heading follows, so that its right corner tells of lines wider than
// the window as soon as they are drawn.
void drawPage(BrowseListState& s) {
  const int32_t saved = s.currentPosition;
  s.pageTop = s.filePosition;
  for (int16_t row = 1; row <= s.rows; ++row) {
    if (!fetchNextLine(s)) {
      writeBlankRows(s, row);
      s.cursorRow = std::max<int16_t>(1, std::min<int16_t>(s.cursorRow, row - 1));
      break;
    }
    writeLine(s, row, s.current.text);
    s.widestOverflow =
        std::max(s.widestOverflow, static_cast<int32_t>(s.current.text.size()) - s.cols);
    if (s.atEnd) {
      s.cursorRow = std::min(s.cursorRow, row);
      writeBlankRows(s, row + 1);
      break;
    }
  }
  s.nextPageTop = s.atEnd ? 0 : s.filePosition;
  s.filePosition = saved;
  fetchNextLine(s);
  drawHeading(s);
}

// The page from a given position.
void drawPageFrom(BrowseListState& s, int32_t position) {
  s.filePosition = position;
  drawPage(s);
}

// A line exists at nextPageTop (read from the file or produced now). The state of the
// current line is kept.
bool nextPageHasLine(BrowseListState& s) {
  const BrowseLine line = s.current;
  const int32_t linePosition = s.currentPosition;
  const int32_t position = s.filePosition;
  s.filePosition = s.nextPageTop;
  const bool found = fetchNextLine(s);
  s.current = line;
  s.currentPosition = linePosition;
  s.filePosition = position;
  s.atFirstLine = s.current.previous == 0;
  s.atEnd = s.filePosition == s.file.size + 1 && s.sourceExhausted;
  return found;
}

void pageUp(BrowseListState& s) {
  if (s.pageTop <= 1) return;
  moveLines(s, -s.rows);
  // Walk back rows lines from the page top; a chain that breaks counts as the list's start.
  int32_t position = s.pageTop;
  int32_t from = s.pageTop;
  int walked = 0;
  bool reachedFirst = false;
  while (walked < s.rows) {
    BrowseLine line;
    int32_t next = 0;
    if (!readBrowseLine(s.file, position, line, next)) {
      position = from;
      walked = std::max(0, walked - 1);
      reachedFirst = true;
      break;
    }
    if (line.previous == 0) {
      reachedFirst = true;
      break;
    }
    from = position;
    position = line.previous;
    ++walked;
  }
  if (reachedFirst) {
    s.cursorRow = static_cast<int16_t>(std::max(1, s.cursorRow - (s.rows - walked)));
  }
  drawPageFrom(s, position);
}

// Reacts to one key; false when the key ends the list.
bool dispatchKey(BrowseListState& s, int16_t key) {
  switch (key) {
    case KeyLeft:
      if (s.offset > 1) {
        s.offset -= ScrollColumns;
        drawPageFrom(s, s.pageTop);
      }
      return true;
    case KeyRight:
      if (s.offset <= s.widestOverflow) {
        s.offset += ScrollColumns;
        drawPageFrom(s, s.pageTop);
      }
      return true;
    case KeyUp:
      if (!s.atFirstLine && moveLines(s, -1) == 1) {
        if (s.cursorRow > 1) {
          --s.cursorRow;
        } else {
          drawPageFrom(s, s.currentPosition);
        }
      }
      return true;
    case KeyDown:
      if (!s.atEnd && moveLines(s, 1) == 1) {
        if (s.cursorRow < s.rows) {
          ++s.cursorRow;
        } else {
          // Scroll by one: the page from its second line.
          BrowseLine first;
          int32_t second = s.currentPosition;
          readBrowseLine(s.file, s.pageTop, first, second);
          drawPageFrom(s, second);
        }
      }
      return true;
    case KeyPgUp:
      pageUp(s);
      return true;
    case KeyPgDn:
      if (s.nextPageTop > 0) {
        if (nextPageHasLine(s)) {
          moveLines(s, s.rows);
          drawPageFrom(s, s.nextPageTop);
        } else {
          s.nextPageTop = 0;
        }
      }
      return true;
    default:
      return false;
  }
}

// The list window's loop: highlight the current line, wait for a key, react. The key that
// ended it.
int16_t browseLoop(BrowseListState& s) {
  for (;;) {
    setColour("u");
    writeLine(s, s.cursorRow, s.current.text);
    const int16_t key = waitKey();
    setColour("h");
    writeLine(s, s.cursorRow, s.current.text);
    if (!dispatchKey(s, key)) return key;
  }
}

// What Enter on the current line gives.
int16_t pickResult(const BrowseListState& s) {
  if (s.def.recordFile == 0) return 0;
  if (s.current.recordPosition == 0 || s.def.recordFile < 0) return -1;
  return static_cast<int16_t>(recordPosition(s.def.recordFile, s.current.recordPosition));
}

}  // namespace

void runBrowseList(int16_t listNumber, int16_t& result) {
  const BrowseListDef* def = browseListDef(listNumber);
  if (!def) {
    result = -1;
    return;
  }
  BrowseListState s;
  s.listNumber = listNumber;
  s.def = *def;

  if (s.def.filterPanel != 0) {
    int16_t key = 0;
    runFormPanel(s.def.filterPanel, 0, 0, key);
    if (key == KeyEsc) {
      result = -1;
      return;
    }
  }
  result = browseKeyRange(listNumber, s.startKey, s.endKey);
  if (result != 0) return;

  s.rows = static_cast<int16_t>(s.def.boxBottom - s.def.boxTop - 1);
  s.cols = static_cast<int16_t>(s.def.boxRight - s.def.boxLeft - 1);
  if (s.rows < 1 || s.cols < 1) {
    result = -1;
    return;
  }
  const int16_t recordFile = s.def.recordFile;
  int16_t status = 0;
  if (recordFile > 0) setLockMode(recordFile, "+d", status);
  setColour("+n");
  const bool windowOpen = openWindow(s.def.boxTop, s.def.boxLeft, s.def.boxBottom, s.def.boxRight);
  if (windowOpen) {
    drawFrame(2);
    setColour("h");
    setEditKeys("+ea", ListKeys);
    if (s.def.linkedList != 0) setEditKeys("a", LinkedListKey);

    int16_t key = 0;
    result = -1;
    if (openBrowseFile(s.file, recordFile != 0)) {
      s.sourceExhausted = recordFile == 0;
      drawPageFrom(s, 1);
      key = browseLoop(s);
      if (key == KeyEnter) result = pickResult(s);
      closeBrowseFile(s.file);
    }
    if (key == KeyF4 && s.def.linkedList != 0) {
      runBrowseList(s.def.linkedList, result);
      if (result == 0) storeBrowsePick(s.def.linkedList, 0, 0);
    }
    setEditKeys("-", "");
    closeWindow();
  } else {
    result = -1;
  }
  setColour("-");
  if (recordFile > 0) setLockMode(recordFile, "-", status);
}
