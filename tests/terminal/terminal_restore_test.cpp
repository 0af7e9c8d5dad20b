// The process console on a pseudo-terminal: this program's echo child (child_modes.cpp)
// takes the terminal, and every way it can end must leave the terminal settings as they
// were before it started. Keys typed through the emulator come back decoded on its screen.
#ifdef KIV_HAVE_VTERM

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

#include "terminal_settings.h"
#include "vterm_screen.h"

namespace {

std::string selfPath() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(size_t(n > 0 ? n : 0));
  return path;
}

// The settings the children start with: a shell's, with Backspace as its erase character,
// a choice of its own so that "back to the defaults" would not pass for "back as found".
termios startingSettings() { return shellTerminalSettings(8); }

bool isRaw(const termios& t) { return !(t.c_lflag & (ICANON | ECHO | ISIG)) && !(t.c_iflag & IXON); }

class EchoChild : public testing::Test {
 protected:
  void SetUp() override {
    before_ = startingSettings();
    ASSERT_TRUE(screen_.start({selfPath()}, {"KIV_TERMINAL_CHILD=echo"}, "", &before_));
    ASSERT_TRUE(screen_.waitForText("READY")) << screen_.screenText();
    ASSERT_TRUE(isRaw(screen_.terminalSettings()));
  }
  // The output since the console last entered the alternate screen.
  std::string sinceLastEnter() {
    const std::string& out = screen_.output();
    size_t at = out.rfind("\x1b[?1049h");
    return at == std::string::npos ? out : out.substr(at);
  }
  termios before_;
  VtermScreen screen_{25, 80};
};

}  // namespace

TEST(TerminalRestore, EveryEndingGivesTheTerminalBack) {
  struct Ending {
    const char* name;
    int signal;       // sent to the program, or 0
    const char* key;  // typed, or nullptr
    int expectedSignal;  // 0: a normal exit with code 0
  } endings[] = {
      {"SIGTERM", SIGTERM, nullptr, SIGTERM}, {"SIGHUP", SIGHUP, nullptr, SIGHUP},
      {"SIGQUIT", SIGQUIT, nullptr, SIGQUIT}, {"SIGPIPE", SIGPIPE, nullptr, SIGPIPE},
      {"SIGINT", SIGINT, nullptr, SIGINT},    {"crash", 0, "s", SIGSEGV},
      {"terminate", 0, "t", SIGABRT},         {"exit", 0, "q", 0},
  };
  for (const Ending& e : endings) {
    SCOPED_TRACE(e.name);
    VtermScreen screen(25, 80);
    termios before = startingSettings();
    ASSERT_TRUE(screen.start({selfPath()}, {"KIV_TERMINAL_CHILD=echo"}, "", &before));
    ASSERT_TRUE(screen.waitForText("READY")) << screen.screenText();
    ASSERT_TRUE(isRaw(screen.terminalSettings()));
    if (e.signal) screen.signal(e.signal);
    if (e.key) screen.sendKeys(e.key);
    int status = screen.waitForExit(20000);
    ASSERT_NE(status, -1) << "the program did not end";
    if (e.expectedSignal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == e.expectedSignal) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_TRUE(sameTerminalSettings(screen.terminalSettings(), before));
    EXPECT_FALSE(screen.alternateScreen());
    const std::string& out = screen.output();
    std::string tail = out.substr(out.rfind("\x1b[?1049h"));
    for (const char* off : {"\x1b[?1049l", "\x1b[?2004l", "\x1b[?1036l", "\x1b[?1000l", "\x1b[?25h"}) {
      EXPECT_NE(tail.find(off), std::string::npos) << testing::PrintToString(off);
    }
  }
}

TEST_F(EchoChild, StopGivesTheTerminalBackAndContinueTakesItWithARepaint) {
  screen_.signal(SIGTSTP);
  ASSERT_TRUE(screen_.waitUntil([&] { return sameTerminalSettings(screen_.terminalSettings(), before_); }));
  EXPECT_TRUE(screen_.waitUntil([&] { return !screen_.alternateScreen(); }));
  // While it is stopped the alternate screen is wiped, as another program would.
  screen_.feed("\x1b[?1049h\x1b[2J\x1b[?1049l");
  ASSERT_FALSE(screen_.contains("READY"));

  screen_.signal(SIGCONT);
  ASSERT_TRUE(screen_.waitForText("READY")) << screen_.screenText();
  EXPECT_TRUE(isRaw(screen_.terminalSettings()));
  screen_.sendKeys("a");
  EXPECT_TRUE(screen_.waitForText("KEY 61")) << screen_.screenText();
}

TEST_F(EchoChild, KeysArriveDecodedAndCtrlCIsAKey) {
  struct Typed {
    std::function<void(VtermScreen&)> type;
    const char* shown;
  } typed[] = {
      {[](VtermScreen& s) { s.sendKeys("\x03"); }, "KEY 03 +ctrl"},
      {[](VtermScreen& s) { s.sendKeys("\x1a"); }, "KEY 1A +ctrl"},
      {[](VtermScreen& s) { s.pressKey(VTERM_KEY_FUNCTION(1), VTERM_MOD_CTRL); }, "KEY 00 3B +ctrl"},
      {[](VtermScreen& s) { s.pressKey(VTERM_KEY_END, VTERM_MOD_ALT); }, "KEY 00 4F +alt"},
      {[](VtermScreen& s) { s.typeText(U"x", VTERM_MOD_ALT); }, "KEY 00 2D +alt"},
      {[](VtermScreen& s) { s.typeText(U"\u00e9"); }, "KEY 82"},
      {[](VtermScreen& s) { s.paste(U"\u00f1"); }, "KEY A4"},
      {[](VtermScreen& s) { s.clickMouse(5, 10, 3); }, "KEY FF FF 08 02 @5,10"},
      {[](VtermScreen& s) { s.sendKeys("\x1b"); }, "KEY 1B"},
  };
  for (const Typed& t : typed) {
    t.type(screen_);
    EXPECT_TRUE(screen_.waitForText(t.shown)) << t.shown << "\n" << screen_.screenText();
  }
  EXPECT_TRUE(screen_.running());
}

TEST_F(EchoChild, ResizeShowsTheNoticeAndBringsTheScreenBack) {
  screen_.resize(24, 80);
  ASSERT_TRUE(screen_.waitForText("80 x 25")) << screen_.screenText();
  EXPECT_FALSE(screen_.contains("READY"));
  screen_.resize(30, 90);
  ASSERT_TRUE(screen_.waitForText("READY")) << screen_.screenText();
  EXPECT_EQ(screen_.cell(1, 1).attribute(), 15 + 16 * 1);
}

TEST_F(EchoChild, AnotherProgramGetsTheTerminalAsFound) {
  // The child runs "stty -g" between suspend and resume; it prints the terminal's flags
  // (input, output, control, local) in hex.
  char flags[64];
  std::snprintf(flags, sizeof flags, "%lx:%lx:%lx:%lx:", (unsigned long)before_.c_iflag,
                (unsigned long)before_.c_oflag, (unsigned long)before_.c_cflag,
                (unsigned long)before_.c_lflag);
  screen_.sendKeys("p");
  ASSERT_TRUE(screen_.waitForOutput(flags)) << testing::PrintToString(screen_.output());
  ASSERT_TRUE(screen_.waitUntil([&] {
    return screen_.alternateScreen() && screen_.contains("KEY 70") && screen_.contains("READY");
  })) << screen_.screenText();
  const std::string& out = screen_.output();
  size_t printed = out.find(flags);
  EXPECT_NE(out.rfind("\x1b[?1049l", printed), std::string::npos);
  EXPECT_NE(out.find("\x1b[?1049h", printed), std::string::npos);
  EXPECT_TRUE(isRaw(screen_.terminalSettings()));
}

#endif  // KIV_HAVE_VTERM
