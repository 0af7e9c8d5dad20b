#include "platform/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/code_page.h"
#include "platform/terminal_restore.h"

namespace {

// Alternate screen, Esc before the key for Meta/Alt, bracketed paste, no automatic
// wrap (the last column of a row is written without moving to the next line).
constexpr std::string_view EnterModes = "\x1b[?1049h\x1b[?1036h\x1b[?2004h\x1b[?7l";
// Everything above switched off again, mouse reports too, and the cursor as a shell
// expects it.
constexpr std::string_view LeaveModes =
    "\x1b[?1000l\x1b[?1006l\x1b[?2004l\x1b[?1036l\x1b[?7h\x1b[0 q\x1b[?25h\x1b[0m\x1b[?1049l";
constexpr std::string_view MouseOn = "\x1b[?1000h\x1b[?1006h";
constexpr std::string_view MouseOff = "\x1b[?1000l\x1b[?1006l";
constexpr std::string_view CursorPositionRequest = "\x1b[6n";
// Default colours, cursor home, the whole screen erased.
constexpr std::string_view ClearScreen = "\x1b[0m\x1b[H\x1b[2J";

constexpr auto MinFlushInterval = std::chrono::milliseconds(16);
constexpr auto DrainLimit = std::chrono::milliseconds(200);

void appendNumber(std::string& out, int n) { out += std::to_string(n); }

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

int utf8Length(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// Windows numbers blue as bit 0 and red as bit 2; ANSI the other way round.
int ansiColour(int windows) { return ((windows & 1) << 2) | (windows & 2) | ((windows & 4) >> 2); }
int foregroundCode(int windows) { return (windows & 8 ? 90 : 30) + ansiColour(windows); }
int backgroundCode(int windows) { return (windows & 8 ? 100 : 40) + ansiColour(windows); }

std::string base64(const std::string& bytes) {
  static const char digits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = uint8_t(bytes[i]) << 16 | uint8_t(bytes[i + 1]) << 8 | uint8_t(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += digits[(v >> shift) & 63];
  }
  if (i + 1 == bytes.size()) {
    uint32_t v = uint8_t(bytes[i]) << 16;
    out += digits[v >> 18];
    out += digits[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    uint32_t v = uint8_t(bytes[i]) << 16 | uint8_t(bytes[i + 1]) << 8;
    out += digits[v >> 18];
    out += digits[(v >> 12) & 63];
    out += digits[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

int millisecondsUntil(std::chrono::steady_clock::time_point when) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : int(std::min<int64_t>(left.count(), 1 << 30));
}

// True when bytes end with a cursor position reply, ESC [ row ; column R.
bool endsWithPositionReply(const std::string& bytes) {
  if (bytes.empty() || bytes.back() != 'R') return false;
  size_t i = bytes.size() - 1;
  int semicolons = 0;
  while (i > 0) {
    char c = bytes[--i];
    if (c == ';') {
      ++semicolons;
    } else if (c == '[') {
      return semicolons == 1 && i > 0 && bytes[i - 1] == '\x1b';
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return false;
}

}  // namespace

// ---- ScreenRenderer ----

ScreenRenderer::ScreenRenderer(int rows, int columns)
    : rows_(rows), columns_(columns), shown_(size_t(rows) * columns) {}

void ScreenRenderer::invalidate() {
  valid_ = false;
  notice_.clear();
  attribute_ = -1;
  row_ = column_ = 0;
  visible_ = block_ = -1;
}

void ScreenRenderer::setAttribute(uint8_t attribute, std::string& out) {
  if (attribute_ == attribute) return;
  int fg = attribute & 15, bg = attribute >> 4;
  bool fgChanged = attribute_ < 0 || (attribute_ & 15) != fg;
  bool bgChanged = attribute_ < 0 || (attribute_ >> 4) != bg;
  out += "\x1b[";
  if (fgChanged) appendNumber(out, foregroundCode(fg));
  if (fgChanged && bgChanged) out += ';';
  if (bgChanged) appendNumber(out, backgroundCode(bg));
  out += 'm';
  attribute_ = attribute;
}

void ScreenRenderer::moveTo(int row, int column, std::string& out) {
  if (row_ == row && column_ == column) return;
  if (row_ == row && column_ > 0 && column_ < column) {
    // Forward on the same row: rewrite the cells in between when that is shorter than a
    // cursor move (they are unchanged, so shown_ holds them), else move forward.
    int gap = column - column_;
    int forwardCost = gap == 1 ? 3 : 3 + int(std::to_string(gap).size());
    int rewriteCost = 0;
    for (int c = column_; c < column && rewriteCost <= forwardCost; ++c) {
      const ConsoleCell& cell = shown_[size_t(row - 1) * columns_ + (c - 1)];
      if (cell.attribute != attribute_) {
        rewriteCost = forwardCost + 1;
        break;
      }
      rewriteCost += utf8Length(unicodeForByte(cell.character));
    }
    if (rewriteCost <= forwardCost) {
      for (int c = column_; c < column; ++c) {
        appendUtf8(out, unicodeForByte(shown_[size_t(row - 1) * columns_ + (c - 1)].character));
      }
    } else {
      out += "\x1b[";
      if (gap > 1) appendNumber(out, gap);
      out += 'C';
    }
  } else if (row == 1 && column == 1) {
    out += "\x1b[H";
  } else {
    out += "\x1b[";
    appendNumber(out, row);
    out += ';';
    appendNumber(out, column);
    out += 'H';
  }
  row_ = row;
  column_ = column;
}

void ScreenRenderer::render(const std::vector<ConsoleCell>& cells, const Cursor& cursor,
                            std::string& out) {
  bool all = !valid_;
  if (all) {
    out += ClearScreen;
    attribute_ = -1;
    row_ = column_ = 1;
    valid_ = true;
    notice_.clear();
  }
  for (int r = 1; r <= rows_; ++r) {
    for (int c = 1; c <= columns_; ++c) {
      size_t i = size_t(r - 1) * columns_ + (c - 1);
      const ConsoleCell& cell = cells[i];
      if (!all && shown_[i].character == cell.character &&
          shown_[i].attribute == cell.attribute) {
        continue;
      }
      moveTo(r, c, out);
      setAttribute(cell.attribute, out);
      appendUtf8(out, unicodeForByte(cell.character));
      shown_[i] = cell;
      // Past the last column the terminal keeps the cursor on it; count it unknown.
      column_ = c < columns_ ? c + 1 : 0;
    }
  }
  int block = cursor.sizePercent >= 100 ? 1 : 0;
  if (block != block_) {
    out += block ? "\x1b[2 q" : "\x1b[4 q";
    block_ = block;
  }
  if (cursor.visible) moveTo(cursor.row, cursor.column, out);
  if (int(cursor.visible) != visible_) {
    out += cursor.visible ? "\x1b[?25h" : "\x1b[?25l";
    visible_ = cursor.visible;
  }
}

void ScreenRenderer::renderNotice(const std::string& text, std::string& out) {
  if (!valid_ && !notice_.empty() && notice_ == text) return;
  out += ClearScreen;
  for (char c : text) appendUtf8(out, unicodeForByte(uint8_t(c)));
  out += "\x1b[?25l";
  invalidate();
  visible_ = 0;
  notice_ = text;
}

// ---- TerminalConsole ----

TerminalConsole::TerminalConsole(int inputFd, int outputFd)
    : inputFd_(inputFd),
      outputFd_(outputFd),
      cells_(size_t(TerminalScreenRows) * TerminalScreenColumns),
      renderer_(TerminalScreenRows, TerminalScreenColumns),
      reader_(inputFd),
      decoder_(reader_) {}

TerminalConsole::~TerminalConsole() { stop(); }

ConsoleCell& TerminalConsole::at(int row, int column) {
  return cells_[size_t(row - 1) * TerminalScreenColumns + (column - 1)];
}

void TerminalConsole::writeOut(const std::string& bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = write(outputFd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd wait{outputFd_, POLLOUT, 0};
      poll(&wait, 1, 100);
      continue;
    }
    if (n <= 0) return;  // the terminal is gone
    p += n;
    left -= size_t(n);
    bytesWritten_ += uint64_t(n);
  }
}

void TerminalConsole::readTerminalSize() {
  winsize size{};
  if (ioctl(outputFd_, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
    terminalRows_ = size.ws_row;
    terminalColumns_ = size.ws_col;
  }
}

void TerminalConsole::setTerminalSize(int rows, int columns) {
  terminalRows_ = rows;
  terminalColumns_ = columns;
  renderer_.invalidate();
  dirty_ = true;
}

bool TerminalConsole::tooSmall() const {
  return terminalRows_ < TerminalScreenRows || terminalColumns_ < TerminalScreenColumns;
}

void TerminalConsole::start() {
  if (started_) return;
  isTerminal_ = inputFd_ >= 0 && isatty(inputFd_);
  if (isTerminal_) {
    tcgetattr(inputFd_, &found_);
    raw_ = found_;
    cfmakeraw(&raw_);
    raw_.c_cc[VMIN] = 1;
    raw_.c_cc[VTIME] = 0;
    tcsetattr(inputFd_, TCSADRAIN, &raw_);
  }
  readTerminalSize();
  writeOut(std::string(EnterModes));
  if (isTerminal_) setTerminalRestore(inputFd_, found_, raw_, EnterModes, LeaveModes);
  started_ = true;
  suspended_ = false;
  renderer_.invalidate();
  mouseSent_ = false;
  dirty_ = true;
}

void TerminalConsole::leaveModes(bool drainInput) {
  drainInput = drainInput && isTerminal_;
  std::string bytes(LeaveModes);
  if (drainInput) bytes += CursorPositionRequest;
  writeOut(bytes);
  if (drainInput) {
    // Everything typed or reported before the reply is dropped, so none of it reaches
    // the shell.
    auto deadline = Clock::now() + DrainLimit;
    std::string seen;
    while (!endsWithPositionReply(seen)) {
      pollfd p{inputFd_, POLLIN, 0};
      int r = poll(&p, 1, millisecondsUntil(deadline));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0 || !(p.revents & POLLIN)) break;
      char chunk[256];
      ssize_t n = read(inputFd_, chunk, sizeof chunk);
      if (n <= 0) break;
      seen.append(chunk, size_t(n));
      if (seen.size() > 64) seen.erase(0, seen.size() - 64);
    }
  }
  if (isTerminal_) tcsetattr(inputFd_, TCSADRAIN, &found_);
  mouseSent_ = false;
}

void TerminalConsole::stop() {
  if (!started_) return;
  // From here the signal handlers have nothing more to give back.
  if (isTerminal_) clearTerminalRestore();
  if (!suspended_) leaveModes(true);
  started_ = false;
  suspended_ = false;
}

void TerminalConsole::suspend() {
  if (!started_ || suspended_) return;
  flush();
  if (isTerminal_) {
    giveTerminalBack();
    setTerminalActive(false);
  } else {
    writeOut(std::string(LeaveModes));
  }
  mouseSent_ = false;
  suspended_ = true;
}

void TerminalConsole::resume() {
  if (!started_ || !suspended_) return;
  suspended_ = false;
  if (isTerminal_) {
    setTerminalActive(true);
    takeTerminalAgain();
  } else {
    writeOut(std::string(EnterModes));
  }
  readTerminalSize();
  renderer_.invalidate();
  dirty_ = true;
  flush();
}

void TerminalConsole::takeNotices() {
  if (!isTerminal_ || !started_) return;
  TerminalNotices notices = takeTerminalNotices();
  if (notices.resized) readTerminalSize();
  if (notices.resized || notices.repaint) {
    renderer_.invalidate();
    mouseSent_ = false;
    dirty_ = true;
  }
}

// Something drawn, a bell or clipboard text, or a change of mouse reporting has not been
// sent yet.
bool TerminalConsole::owesFlush() const {
  return dirty_ || !pending_.empty() || mouseWanted_ != mouseSent_;
}

void TerminalConsole::flush() {
  if (!started_ || suspended_) return;
  takeNotices();
  if (!owesFlush()) return;
  std::string out;
  out.swap(pending_);
  if (mouseWanted_ != mouseSent_) {
    out += mouseWanted_ ? MouseOn : MouseOff;
    mouseSent_ = mouseWanted_;
  }
  if (tooSmall()) {
    std::string notice = "Amplieu el terminal a " + std::to_string(TerminalScreenColumns) +
                         " x " + std::to_string(TerminalScreenRows) + " (ara " +
                         std::to_string(terminalColumns_) + " x " +
                         std::to_string(terminalRows_) + ")";
    notice.resize(std::min<size_t>(notice.size(), size_t(std::max(terminalColumns_, 1))));
    renderer_.renderNotice(notice, out);
  } else {
    renderer_.render(cells_, cursor_, out);
  }
  dirty_ = false;
  if (!out.empty()) writeOut(out);
  lastFlush_ = Clock::now();
}

void TerminalConsole::flushIfDue() {
  if (Clock::now() - lastFlush_ >= MinFlushInterval) flush();
}

// ---- Cells ----

void TerminalConsole::setCursor(int16_t row, int16_t column) {
  if (row >= 1 && row <= TerminalScreenRows) cursor_.row = row;
  if (column >= 1 && column <= TerminalScreenColumns) cursor_.column = column;
  dirty_ = true;
}

void TerminalConsole::getCursor(int16_t& row, int16_t& column) {
  row = cursor_.row;
  column = cursor_.column;
}

void TerminalConsole::setCursorShape(bool visible, int16_t sizePercent) {
  cursor_.visible = visible;
  cursor_.sizePercent = sizePercent;
  dirty_ = true;
}

void TerminalConsole::setColour(int16_t foreground, int16_t background) {
  attribute_ = attributeWithColours(attribute_, foreground, background);
}

void TerminalConsole::writeText(const std::string& bytes) {
  int row = cursor_.row, column = cursor_.column;
  for (char byte : bytes) {
    // The cursor rests on the last cell once it is written; what follows is dropped.
    if (row > TerminalScreenRows) break;
    at(row, column) = {uint8_t(byte), attribute_};
    if (column < TerminalScreenColumns) {
      ++column;
    } else {
      ++row;
      column = row > TerminalScreenRows ? TerminalScreenColumns : 1;
    }
  }
  cursor_.row = int16_t(std::min<int>(row, TerminalScreenRows));
  cursor_.column = int16_t(column);
  dirty_ = true;
}

void TerminalConsole::writeBlanks(int16_t count) {
  if (count > 0) writeText(std::string(size_t(count), ' '));
}

void TerminalConsole::writeCodePoint(char32_t codePoint) {
  int byte = byteForUnicode(codePoint);
  writeText(std::string(1, char(byte < 0 ? '?' : byte)));
}

ConsoleCell TerminalConsole::readCell(int16_t row, int16_t column) {
  if (row < 1 || row > TerminalScreenRows || column < 1 || column > TerminalScreenColumns) {
    return ConsoleCell{' ', 0};
  }
  return at(row, column);
}

void TerminalConsole::scrollRectangle(int16_t top, int16_t left, int16_t bottom, int16_t right,
                                      int16_t lines) {
  int t = std::max<int>(top, 1), l = std::max<int>(left, 1);
  int b = std::min<int>(bottom, TerminalScreenRows), r = std::min<int>(right, TerminalScreenColumns);
  if (t > b || l > r || lines == 0) return;
  int height = b - t + 1;
  int width = r - l + 1;
  auto moveRow = [&](int to, int from) {
    std::copy_n(&at(from, l), width, &at(to, l));
  };
  auto blankRow = [&](int row) { std::fill_n(&at(row, l), width, ConsoleCell{' ', attribute_}); };
  if (std::abs(lines) >= height) {
    for (int row = t; row <= b; ++row) blankRow(row);
  } else if (lines > 0) {
    for (int row = t; row <= b - lines; ++row) moveRow(row, row + lines);
    for (int row = b - lines + 1; row <= b; ++row) blankRow(row);
  } else {
    int n = -lines;
    for (int row = b; row >= t + n; --row) moveRow(row, row - n);
    for (int row = t; row < t + n; ++row) blankRow(row);
  }
  dirty_ = true;
}

void TerminalConsole::clear() {
  std::fill(cells_.begin(), cells_.end(), ConsoleCell{' ', attribute_});
  cursor_.row = cursor_.column = 1;
  dirty_ = true;
}

void TerminalConsole::beep() { pending_ += '\a'; }

void TerminalConsole::setClipboardText(const std::string& bytes) {
  clipboard_ = bytes;
  std::string utf8;
  for (char c : bytes) appendUtf8(utf8, unicodeForByte(uint8_t(c)));
  pending_ += "\x1b]52;c;" + base64(utf8) + "\x1b\\";
}

// ---- Input ----

std::string TerminalConsole::takeInput() {
  takeNotices();
  InputEvent event;
  if (!decoder_.next(event)) {
    flushIfDue();
    return "";
  }
  controlKeyState_ = event.controlKeyState;
  if (event.isMouse()) {
    mouseRow_ = event.mouseRow;
    mouseColumn_ = event.mouseColumn;
  }
  return event.text;
}

bool TerminalConsole::waitForInput(int timeoutMs) {
  const bool forever = timeoutMs < 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
  auto owed = [this] { return started_ && !suspended_ && owesFlush(); };
  for (;;) {
    takeNotices();
    if (decoder_.hasPending() || reader_.hasBuffered()) return true;
    auto now = Clock::now();
    if (owed() && now - lastFlush_ >= MinFlushInterval) flush();
    if (!forever && now >= deadline) {
      if (owed()) flush();
      return false;
    }
    int waitMs = forever ? -1 : millisecondsUntil(deadline);
    if (owed()) {
      int untilDue = millisecondsUntil(lastFlush_ + MinFlushInterval);
      waitMs = waitMs < 0 ? untilDue : std::min(waitMs, untilDue);
    }
    pollfd fds[2] = {{inputClosed_ ? -1 : inputFd_, POLLIN, 0},
                     {isTerminal_ ? terminalNoticeFd() : -1, POLLIN, 0}};
    int n = poll(fds, 2, waitMs);
    // A terminal that hangs up never gives input again, and reads of it end at once: the run
    // ends as on SIGHUP, which the session's leader may have kept to itself (it ignores it,
    // or it is not this process).
    if (n > 0 && isTerminal_ && (fds[0].revents & (POLLHUP | POLLERR))) raise(SIGHUP);
    if (n > 0 && (fds[0].revents & POLLIN)) return true;
    if (n > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) inputClosed_ = true;
    if (n < 0 && errno != EINTR) return false;
  }
}

void TerminalConsole::discardPendingInput() {
  decoder_.discard();
  reader_.clear();
}

void TerminalConsole::mousePosition(int16_t& row, int16_t& column) {
  row = mouseRow_;
  column = mouseColumn_;
}

void TerminalConsole::setMouseInput(bool on) { mouseWanted_ = on; }

// ---- The process's terminal ----

namespace {
TerminalConsole* processConsole = nullptr;
int processTerminal = -1;
}  // namespace

bool startTerminalConsole() {
  if (processConsole) return true;
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  processTerminal = fd;
  processConsole = new TerminalConsole(fd, fd);
  processConsole->start();
  setTerminalExitHook(&stopTerminalConsole);
  setConsole(processConsole);
  return true;
}

void stopTerminalConsole() {
  if (!processConsole) return;
  setConsole(nullptr);
  processConsole->stop();
  delete processConsole;
  processConsole = nullptr;
  close(processTerminal);
  processTerminal = -1;
}
