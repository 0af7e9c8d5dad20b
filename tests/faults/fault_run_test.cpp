// The module under faults it does not cause: a print file that cannot be written, record
// files taken away while it runs, signals that end it, and a window stack left behind by a
// killed run. hortelix runs on a demo installation in a pseudo-terminal, read through a
// terminal emulator; each case shows what the operator sees, that nothing is lost, and
// that the terminal is given back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "paths.h"
#include "platform/files.h"

#ifdef KIV_HAVE_VTERM
#include "vterm_screen.h"
#endif

namespace {

// Runs the built kivdata; its standard output, or nothing when it does not end with 0.
bool runKivdata(const std::vector<std::string>& arguments, std::string* output = nullptr) {
  std::string command = programPath("kivdata");
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  command += " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return false;
  std::string text;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, got);
  const int status = ::pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The words of text, in order, somewhere in the screen's rows read one after the other
// (the message window wraps long texts between words).
bool wordsInOrder(const std::string& screen, const std::string& text) {
  std::istringstream words(text);
  std::string word;
  size_t at = 0;
  while (words >> word) {
    at = screen.find(word, at);
    if (at == std::string::npos) return false;
    at += word.size();
  }
  return true;
}

// A window stack file as a calling program leaves it while it shows one window of its own:
// the free position, then one record (ten 2-digit fields, the saved cells, the length).
std::string callerWindowStack() {
  std::string record = "0101" "00000000" "01010220";
  for (int cell = 0; cell < 2 * 20; ++cell) record += "C\x1E";
  char length[8];
  std::snprintf(length, sizeof length, "%05zu", record.size() + 5);
  record += length;
  const uint32_t freePosition = static_cast<uint32_t>(4 + record.size() + 1);
  std::string header(4, '\0');
  for (int i = 0; i < 4; ++i) header[i] = static_cast<char>((freePosition >> (8 * i)) & 0xFF);
  return header + record;
}

uint32_t freePositionOf(const std::string& stack) {
  uint32_t value = 0;
  for (int i = 0; i < 4 && i < static_cast<int>(stack.size()); ++i)
    value |= uint32_t{static_cast<uint8_t>(stack[i])} << (8 * i);
  return value;
}

#ifdef KIV_HAVE_VTERM

const char kFirstLabel[] = "Primera finca: ";
const char kAnswerLabel[] = "Confirmeu el llistat (S/N): ";
// What the module writes when it takes the terminal (at start and after another program).
const char kTakeTerminal[] = "\x1b[?1049h";

class FaultRun : public ::testing::Test {
 protected:
  // A demo installation whose listings go to a text file.
  void makeInstallation(const std::vector<std::string>& demoOptions = {"--properties", "12"}) {
    std::vector<std::string> arguments = {"demo", root(), "--seed", "5", "--date", "20240305"};
    arguments.insert(arguments.end(), demoOptions.begin(), demoOptions.end());
    ASSERT_TRUE(runKivdata(arguments));
    ASSERT_TRUE(writeFileBytes(session("QuonTerm.ini"),
                               "[Sistema]\r\nData=20240305\r\nSortida=" + listing() +
                                   "\r\nIdioma=CAT\r\n"));
    ASSERT_TRUE(runKivdata({"dump", root() + "/DADES/DepartaV"}, &apartmentsBefore));
  }
  std::string root() const { return dir.file("demo"); }
  std::string session(const std::string& name) const { return root() + "/SESSIO/" + name; }
  std::string listing() const { return dir.file("listing.txt"); }

  bool start(VtermScreen& terminal) {
    return terminal.start({programPath("hortelix")},
                          {"KIVROOT=" + root() + "/", "KIVTMP=" + root() + "/SESSIO/",
                           "KIVEXE=" + binaryDir() + "/"},
                          root());
  }
  // Started, with the form on the screen.
  void startAtTheForm(VtermScreen& terminal) {
    ASSERT_TRUE(start(terminal));
    ASSERT_TRUE(terminal.waitForText(std::string(kFirstLabel) + "1   ", 60000))
        << terminal.screenText();
  }
  // The preset range (all properties) confirmed with S.
  static void confirmForm(VtermScreen& terminal) {
    terminal.sendKeys("\r");
    ASSERT_TRUE(terminal.waitForText("Darrera finca: 999", 30000)) << terminal.screenText();
    terminal.sendKeys("\r");
    ASSERT_TRUE(terminal.waitForText(kAnswerLabel, 30000)) << terminal.screenText();
    terminal.sendKeys("s\r");
  }
  // The form confirmed, then the print program run: the module has taken the terminal
  // back after it (keys typed while the print program runs would not reach the module).
  static void confirmAndWaitForThePrintProgram(VtermScreen& terminal) {
    auto takings = [&] {
      size_t count = 0;
      for (size_t at = terminal.output().find(kTakeTerminal); at != std::string::npos;
           at = terminal.output().find(kTakeTerminal, at + 1))
        ++count;
      return count;
    };
    const size_t before = takings();
    confirmForm(terminal);
    EXPECT_TRUE(terminal.waitUntil([&] { return takings() > before; }, 120000))
        << terminal.screenText();
  }
  // Esc on the form ends the run with 0.
  static void endAtTheForm(VtermScreen& terminal) {
    ASSERT_TRUE(terminal.waitUntil(
        [&] { return terminal.contains(kFirstLabel) && !terminal.contains(kAnswerLabel); },
        60000))
        << terminal.screenText();
    terminal.sendKeys("\x1b");
    const int status = terminal.waitForExit(60000);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  static void expectTerminalGivenBack(const VtermScreen& terminal) {
    EXPECT_FALSE(terminal.alternateScreen());
    const termios settings = terminal.terminalSettings();
    EXPECT_TRUE(settings.c_lflag & ICANON);
    EXPECT_TRUE(settings.c_lflag & ECHO);
  }
  // The record files as they were, and free: no lock of the run outlives it.
  void expectRecordFilesIntact() {
    std::string apartments;
    EXPECT_TRUE(runKivdata({"dump", root() + "/DADES/DepartaV"}, &apartments));
    EXPECT_EQ(apartments, apartmentsBefore);
    for (const char* name : {"FinquesV", "DepartaV", "TVRebut"})
      EXPECT_TRUE(runKivdata({"lock", root() + "/DADES/" + name, "--seconds", "0"})) << name;
  }
  // A complete run: the listing of the whole range, written through the print program.
  std::string runListing() {
    removeFile(listing());
    VtermScreen terminal(25, 80);
    startAtTheForm(terminal);
    confirmAndWaitForThePrintProgram(terminal);
    endAtTheForm(terminal);
    return readFileBytes(listing()).value_or("");
  }
  void expectAWholeListing() {
    EXPECT_NE(runListing().find("LLISTAT DE DEPARTAMENTS BUITS"), std::string::npos);
  }

  TempDir dir;
  std::string apartmentsBefore;
};

// The print file cannot be written: the message names the file and the system's reason, the
// print program is not started, and once the cause is gone the next listing is whole.
TEST_F(FaultRun, PrintFileThatCannotBeWrittenShowsWhyAndListsOnceRepaired) {
  struct Case {
    const char* name;
    std::function<bool(const std::string& path)> damage;
    const char* reason;
  } cases[] = {
      {"full disk", [](const std::string& path) { return ::symlink("/dev/full", path.c_str()) == 0; },
       "(No space left on device)"},
      {"a directory in its place",
       [](const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; },
       "(Is a directory)"},
  };
  makeInstallation();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string printFile = session("zideruva.tmp");
    std::filesystem::remove_all(printFile);
    removeFile(listing());
    ASSERT_TRUE(c.damage(printFile));

    VtermScreen terminal(25, 80);
    startAtTheForm(terminal);
    confirmForm(terminal);
    ASSERT_TRUE(terminal.waitForText("NO ES POT ESCRIURE EL LLISTAT A", 60000))
        << terminal.screenText();
    EXPECT_TRUE(wordsInOrder(terminal.screenText(), std::string("zideruva.tmp ") + c.reason))
        << terminal.screenText();
    terminal.sendKeys("\r");
    endAtTheForm(terminal);
    expectTerminalGivenBack(terminal);
    EXPECT_FALSE(fileExists(listing()));

    std::filesystem::remove_all(printFile);
    expectAWholeListing();
  }
}

// A signal ends the run at the form or in the middle of writing the listing: the process
// ends by that signal at once, the terminal is given back, the window stack file is as the
// calling program left it, the record files are untouched and free, and the print program
// is not started on a cut listing. The next run lists as usual.
TEST_F(FaultRun, SignalEndsTheRunAndGivesEverythingBack) {
  struct Case {
    const char* name;
    int signal;
    bool duringReport;
  } cases[] = {
      {"SIGTERM at the form", SIGTERM, false},
      {"SIGHUP at the form (the terminal closed)", SIGHUP, false},
      {"SIGTERM while the listing is written", SIGTERM, true},
  };
  // Enough vacant apartments that the listing outgrows a pipe's buffer.
  makeInstallation({"--properties", "150", "--apartments-per-property", "8", "--vacant", "100"});
  const std::string callerStack = callerWindowStack();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(writeFileBytes(session("WinPush.tmp"), callerStack));
    const std::string printFile = session("zideruva.tmp");
    removeFile(printFile);
    removeFile(listing());
    int reader = -1;
    if (c.duringReport) {
      // The print file is a pipe nobody empties: the writing stops when it is full.
      ASSERT_EQ(::mkfifo(printFile.c_str(), 0600), 0);
      reader = ::open(printFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      ASSERT_GE(reader, 0);
    }

    VtermScreen terminal(25, 80);
    startAtTheForm(terminal);
    if (c.duringReport) {
      confirmForm(terminal);
      int pending = 0;
      ASSERT_TRUE(terminal.waitUntil(
          [&] { return ::ioctl(reader, FIONREAD, &pending) == 0 && pending >= 32768; }, 120000))
          << pending << "\n" << terminal.screenText();
      char first[6];
      ASSERT_EQ(::read(reader, first, sizeof first), 6);
      EXPECT_EQ(std::string(first, 6), "DEVICE");
    }
    terminal.signal(c.signal);
    const int status = terminal.waitForExit(30000);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), c.signal);
    expectTerminalGivenBack(terminal);
    const std::string stack = readFileBytes(session("WinPush.tmp")).value_or("");
    EXPECT_EQ(freePositionOf(stack), freePositionOf(callerStack));
    EXPECT_EQ(stack.substr(0, callerStack.size()), callerStack);
    expectRecordFilesIntact();
    EXPECT_FALSE(fileExists(listing()));
    if (reader >= 0) ::close(reader);
    removeFile(printFile);
  }
  expectAWholeListing();
}

// The terminal goes away while the module waits at the form, and no hangup signal reaches
// the module (the session's leader, here a shell, ignores it and waits): the module sees
// its terminal end and ends as on a hangup, giving the stack file back to the caller.
TEST_F(FaultRun, TerminalClosedWithoutAHangupSignalEndsTheRun) {
  makeInstallation();
  const std::string callerStack = callerWindowStack();
  ASSERT_TRUE(writeFileBytes(session("WinPush.tmp"), callerStack));
  VtermScreen terminal(25, 80);
  ASSERT_TRUE(terminal.start(
      {"/bin/sh", "-c", "trap '' HUP; \"$0\" & wait $!; echo \"ended $?\" > \"$1\"",
       programPath("hortelix"), dir.file("ended")},
      {"KIVROOT=" + root() + "/", "KIVTMP=" + root() + "/SESSIO/", "KIVEXE=" + binaryDir() + "/"},
      root()));
  ASSERT_TRUE(terminal.waitForText(std::string(kFirstLabel) + "1   ", 60000))
      << terminal.screenText();
  // The terminal's far side closes: /dev/null takes the descriptor's place in one step.
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  ASSERT_GE(null, 0);
  ASSERT_GE(::dup3(null, terminal.masterFd(), O_CLOEXEC), 0);
  ::close(null);
  const int status = terminal.waitForExit(30000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(readFileBytes(dir.file("ended")).value_or(""), "ended " + std::to_string(128 + SIGHUP) + "\n");
  const std::string stack = readFileBytes(session("WinPush.tmp")).value_or("");
  EXPECT_EQ(freePositionOf(stack), freePositionOf(callerStack));
  expectRecordFilesIntact();
}

// A record file deleted, or replaced by another one, while the form waits: the module
// goes on with the file it opened, and the listing holds exactly the vacant apartments of
// the file as it was. The next run reads the new file, or a deleted one made anew, empty,
// from its description file.
TEST_F(FaultRun, RecordFileDeletedOrReplacedWhileTheModuleRuns) {
  struct Case {
    const char* name;
    bool replace;
  } cases[] = {{"deleted", false}, {"replaced", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    makeInstallation();
    const std::string apartments = root() + "/DADES/DepartaV.dat";
    // The listing of the untouched installation, to compare with.
    const std::string before = runListing();
    ASSERT_NE(before.find("LLISTAT DE DEPARTAMENTS BUITS"), std::string::npos);
    removeFile(listing());

    VtermScreen terminal(25, 80);
    startAtTheForm(terminal);
    if (c.replace) {
      const std::string other = dir.file("other");
      ASSERT_TRUE(runKivdata({"demo", other, "--seed", "9", "--properties", "12", "--vacant", "50",
                              "--date", "20240305"}));
      ASSERT_EQ(::rename((other + "/DADES/DepartaV.dat").c_str(), apartments.c_str()), 0);
    } else {
      ASSERT_TRUE(removeFile(apartments));
    }
    confirmAndWaitForThePrintProgram(terminal);
    endAtTheForm(terminal);
    expectTerminalGivenBack(terminal);
    EXPECT_EQ(readFileBytes(listing()).value_or(""), before);

    EXPECT_NE(runListing(), before);
    EXPECT_TRUE(fileExists(apartments));
    std::filesystem::remove_all(root());
  }
}

// A run killed outright (no handler runs) leaves its window record in the stack file. The
// next run draws and ends as usual, and takes the file back to where the killed run left
// it: the stack does not grow, and the caller's window record is still whole.
TEST_F(FaultRun, WindowStackLeftByAKilledRunIsWorkedOver) {
  makeInstallation();
  const std::string callerStack = callerWindowStack();
  ASSERT_TRUE(writeFileBytes(session("WinPush.tmp"), callerStack));
  {
    VtermScreen terminal(25, 80);
    startAtTheForm(terminal);
    terminal.signal(SIGKILL);
    const int status = terminal.waitForExit(30000);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  }
  const std::string leftBehind = readFileBytes(session("WinPush.tmp")).value_or("");
  ASSERT_GT(freePositionOf(leftBehind), freePositionOf(callerStack));

  VtermScreen terminal(25, 80);
  startAtTheForm(terminal);
  EXPECT_EQ(terminal.rowText(8).substr(19, 3), "\xC9\xCD\xCD");  // the panel's frame
  EXPECT_TRUE(terminal.contains("Darrera finca: 999"));
  endAtTheForm(terminal);
  expectTerminalGivenBack(terminal);
  const std::string stack = readFileBytes(session("WinPush.tmp")).value_or("");
  EXPECT_EQ(freePositionOf(stack), freePositionOf(leftBehind));
  EXPECT_EQ(stack.substr(4, callerStack.size() - 4), callerStack.substr(4));
}

#else

TEST(FaultRun, NeedsLibvterm) { GTEST_SKIP() << "built without libvterm"; }

#endif

}  // namespace
