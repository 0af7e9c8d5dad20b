// The terminal console's output read back through a real terminal emulator (libvterm):
// whatever the program did to the cell buffer, the terminal must show exactly it.
#ifdef KIV_HAVE_VTERM

#include "platform/terminal_console.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "vterm_screen.h"

namespace {

// A terminal console writing into a pipe, whose other end feeds the emulator.
class Rig {
 public:
  Rig() : console_(-1, openPipe()), screen_(TerminalScreenRows, TerminalScreenColumns) {
    console_.start();
  }
  ~Rig() {
    close(pipe_[0]);
    close(pipe_[1]);
  }
  TerminalConsole& console() { return console_; }
  VtermScreen& screen() { return screen_; }

  // What the console wrote since the last call, fed to the emulator.
  std::string take() {
    std::string bytes;
    char chunk[65536];
    ssize_t n;
    while ((n = read(pipe_[0], chunk, sizeof chunk)) > 0) bytes.append(chunk, size_t(n));
    screen_.feed(bytes);
    return bytes;
  }
  std::string flush() {
    console_.flush();
    return take();
  }

  // The first cell where the terminal differs from the buffer, or "".
  std::string difference() {
    for (int16_t r = 1; r <= TerminalScreenRows; ++r) {
      for (int16_t c = 1; c <= TerminalScreenColumns; ++c) {
        ConsoleCell want = console_.readCell(r, c);
        VtermCell got = screen_.cell(r, c);
        if (got.character != unicodeForByte(want.character) ||
            got.foreground != (want.attribute & 15) || got.background != (want.attribute >> 4)) {
          std::ostringstream out;
          out << "cell " << r << "," << c << ": buffer byte " << int(want.character) << " attr "
              << int(want.attribute) << ", terminal U+" << std::hex << uint32_t(got.character)
              << std::dec << " fg " << got.foreground << " bg " << got.background;
          return out.str();
        }
      }
    }
    return "";
  }

 private:
  int openPipe() {
    if (pipe(pipe_) != 0) return -1;
    fcntl(pipe_[0], F_SETFL, O_NONBLOCK);
    // Room for a full repaint of the most colourful screen.
    fcntl(pipe_[1], F_SETPIPE_SZ, 1 << 20);
    return pipe_[1];
  }
  int pipe_[2] = {-1, -1};
  TerminalConsole console_;
  VtermScreen screen_;
};

std::string randomBytes(std::mt19937& random, int length) {
  std::string bytes;
  for (int i = 0; i < length; ++i) bytes += char(random() % 256);
  return bytes;
}

// Windows opened the way the window stack does it: the covered cells read back, a frame
// and a blank interior drawn; closed by writing every saved cell back one by one.
struct OpenWindow {
  int16_t top, left, bottom, right;
  std::vector<ConsoleCell> saved;
};

void openWindow(Console& c, std::vector<OpenWindow>& stack, std::mt19937& random) {
  OpenWindow w;
  w.top = int16_t(1 + random() % 24);
  w.left = int16_t(1 + random() % 79);
  w.bottom = int16_t(w.top + 1 + random() % (TerminalScreenRows - w.top));
  w.right = int16_t(w.left + 1 + random() % (TerminalScreenColumns - w.left));
  for (int16_t r = w.top; r <= w.bottom; ++r) {
    for (int16_t col = w.left; col <= w.right; ++col) w.saved.push_back(c.readCell(r, col));
  }
  c.setColour(int16_t(random() % 16), int16_t(random() % 16));
  int inner = w.right - w.left - 1;
  for (int16_t r = w.top; r <= w.bottom; ++r) {
    c.setCursor(r, w.left);
    bool edge = r == w.top || r == w.bottom;
    std::string line(1, edge ? (r == w.top ? '\xC9' : '\xC8') : '\xBA');
    line += std::string(size_t(inner), edge ? '\xCD' : ' ');
    line += edge ? (r == w.top ? '\xBB' : '\xBC') : '\xBA';
    c.writeText(line);
  }
  stack.push_back(std::move(w));
}

void closeWindow(Console& c, std::vector<OpenWindow>& stack) {
  const OpenWindow& w = stack.back();
  size_t i = 0;
  for (int16_t r = w.top; r <= w.bottom; ++r) {
    for (int16_t col = w.left; col <= w.right; ++col, ++i) {
      c.setColour(w.saved[i].attribute & 15, w.saved[i].attribute >> 4);
      c.setCursor(r, col);
      c.writeText(std::string(1, char(w.saved[i].character)));
    }
  }
  stack.pop_back();
}

void randomOperation(Console& c, std::vector<OpenWindow>& windows, std::mt19937& random) {
  switch (random() % 12) {
    case 0: c.setColour(int16_t(random() % 18), int16_t(random() % 18)); break;
    case 1: c.setCursor(int16_t(int(random() % 29) - 2), int16_t(int(random() % 85) - 2)); break;
    case 2: c.writeText(randomBytes(random, int(random() % 120))); break;
    case 3: c.writeBlanks(int16_t(int(random() % 90) - 3)); break;
    case 4: {
      static const char32_t points[] = {U'\u25C4', U'\u25BA', U'\u00E9', U'\u2713', U'\u20AC'};
      c.writeCodePoint(points[random() % 5]);
      break;
    }
    case 5:
      c.scrollRectangle(int16_t(int(random() % 28) - 1), int16_t(int(random() % 84) - 1),
                        int16_t(int(random() % 28) - 1), int16_t(int(random() % 84) - 1),
                        int16_t(int(random() % 40) - 20));
      break;
    case 6:
      if (random() % 8 == 0) c.clear();
      break;
    case 7:
    case 8:
      if (windows.size() < 6) openWindow(c, windows, random);
      break;
    case 9:
    case 10:
      if (!windows.empty()) closeWindow(c, windows);
      break;
    case 11: c.setCursorShape(random() % 2 == 0, random() % 2 ? 100 : 25); break;
  }
}

}  // namespace

TEST(TerminalConsole, TerminalShowsTheBufferAfterRandomDrawing) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Rig rig;
    std::mt19937 random(seed);
    std::vector<OpenWindow> windows;
    for (int op = 0; op < 400; ++op) {
      randomOperation(rig.console(), windows, random);
      if (random() % 7 == 0) {
        rig.flush();
        ASSERT_EQ(rig.difference(), "") << "after operation " << op;
      }
    }
    while (!windows.empty()) closeWindow(rig.console(), windows);
    rig.flush();
    ASSERT_EQ(rig.difference(), "");

    // The cursor where the program left it, as it asked for it.
    rig.console().setCursorShape(true, 100);
    rig.console().setCursor(7, 33);
    rig.flush();
    int row, column;
    rig.screen().cursor(row, column);
    EXPECT_EQ(row, 7);
    EXPECT_EQ(column, 33);
    EXPECT_TRUE(rig.screen().cursorVisible());
    EXPECT_EQ(rig.screen().cursorShape(), 1);  // block
    rig.console().setCursorShape(false, 25);
    rig.flush();
    EXPECT_FALSE(rig.screen().cursorVisible());
    rig.console().setCursorShape(true, 25);
    rig.flush();
    EXPECT_TRUE(rig.screen().cursorVisible());
    EXPECT_EQ(rig.screen().cursorShape(), 2);  // underline
  }
}

TEST(TerminalConsole, SendsOnlyWhatChanged) {
  Rig rig;
  Console& c = rig.console();
  c.setColour(15, 1);
  c.clear();
  c.setColour(0, 7);
  c.setCursor(5, 20);
  c.writeText("Codi de la finca: ");
  c.setColour(14, 4);
  c.writeText("    ");
  c.setCursor(5, 38);
  rig.flush();

  // Nothing changed: nothing is written at all.
  EXPECT_EQ(rig.flush(), "");

  // One character typed into the field costs a few bytes, not a repaint.
  c.writeText("7");
  std::string typed = rig.flush();
  EXPECT_LT(typed.size(), 32u) << testing::PrintToString(typed);
  EXPECT_EQ(rig.difference(), "");

  // A cell written back with what it held already is no change either.
  c.setColour(0, 7);
  c.setCursor(5, 20);
  c.writeText("C");
  c.setCursor(5, 39);
  EXPECT_EQ(rig.flush(), "");
}

TEST(TerminalConsole, SmallTerminalShowsANoticeUntilItIsLargeEnough) {
  Rig rig;
  Console& c = rig.console();
  c.setColour(7, 1);
  c.clear();
  c.writeText("Formulari");
  rig.flush();

  for (auto [rows, columns] : {std::pair{24, 80}, std::pair{25, 79}, std::pair{10, 40}}) {
    rig.console().setTerminalSize(rows, columns);
    rig.screen().resize(rows, columns);
    rig.flush();
    std::string first = rig.screen().rowText(1);
    EXPECT_NE(first.find("80 x 25"), std::string::npos) << first;
    EXPECT_EQ(rig.screen().rowText(2), std::string(size_t(columns), ' '));
    EXPECT_FALSE(rig.screen().cursorVisible());
    // Drawing goes on in the buffer, unseen.
    c.writeText("+");
    EXPECT_EQ(rig.flush(), "");
  }
  rig.console().setTerminalSize(30, 100);
  rig.screen().resize(30, 100);
  rig.flush();
  EXPECT_EQ(rig.difference(), "");
  EXPECT_EQ(rig.screen().rowText(1).substr(0, 12), "Formulari+++");
  EXPECT_EQ(rig.screen().rowText(26), std::string(100, ' '));
}

TEST(TerminalConsole, SuspendGivesTheScreenBackAndResumeRepaints) {
  Rig rig;
  rig.console().setColour(10, 2);
  rig.console().writeText("abc");
  rig.flush();
  EXPECT_TRUE(rig.screen().alternateScreen());
  rig.console().suspend();
  rig.take();
  EXPECT_FALSE(rig.screen().alternateScreen());
  // Another program clears the alternate screen meanwhile.
  rig.screen().feed("\x1b[?1049h\x1b[2J\x1b[?1049l");
  rig.console().resume();
  rig.take();
  EXPECT_TRUE(rig.screen().alternateScreen());
  EXPECT_EQ(rig.difference(), "");
}

TEST(TerminalConsole, ModesBellClipboardAndMouse) {
  Rig rig;
  std::string started = rig.take();
  for (const char* mode : {"\x1b[?1049h", "\x1b[?1036h", "\x1b[?2004h"}) {
    EXPECT_NE(started.find(mode), std::string::npos) << testing::PrintToString(mode);
  }
  EXPECT_EQ(started.find("\x1b[?1000h"), std::string::npos);
  Console& c = rig.console();

  c.beep();
  rig.flush();
  EXPECT_EQ(rig.screen().bells(), 1);

  // Kept in the process, and handed to the terminal as UTF-8 in base64.
  c.setClipboardText("Hola \x82\xD5");
  EXPECT_EQ(c.clipboardText(), "Hola \x82\xD5");
  EXPECT_NE(rig.flush().find("\x1b]52;c;SG9sYSDDqeKCrA==\x1b\\"), std::string::npos);

  c.setMouseInput(true);
  EXPECT_NE(rig.flush().find("\x1b[?1000h\x1b[?1006h"), std::string::npos);
  // Off and on again between two flushes sends nothing.
  c.setMouseInput(false);
  c.setMouseInput(true);
  EXPECT_EQ(rig.flush(), "");
  c.setMouseInput(false);
  EXPECT_NE(rig.flush().find("\x1b[?1000l"), std::string::npos);
}

TEST(TerminalConsole, PollingForInputFlushesAtMostSixtyTimesASecond) {
  Rig rig;
  rig.flush();
  Console& c = rig.console();
  auto start = std::chrono::steady_clock::now();
  int flushes = 0;
  for (int i = 0; i < 2000; ++i) {
    c.setCursor(1, int16_t(1 + i % 80));
    c.writeText(std::string(1, char('a' + i % 26)));
    EXPECT_EQ(c.takeInput(), "");
    if (!rig.take().empty()) ++flushes;
  }
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LE(flushes, 1 + elapsed / std::chrono::milliseconds(16));
  // Waiting flushes what is left at once.
  EXPECT_FALSE(c.waitForInput(0));
  rig.take();
  EXPECT_EQ(rig.difference(), "");
}

#endif  // KIV_HAVE_VTERM
