// The installed module's start-up against what an installation may hold: a record file
// another program holds exclusively (the module waits, then opens it), a record file it
// cannot open (the fatal message in the session's language, a key, exit code 0), and a
// terminal smaller than the screen (the notice, then the form once it is enlarged).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "installed_system.h"
#include "paths.h"
#include "platform/files.h"

#ifdef KIV_HAVE_VTERM
#include "vterm_screen.h"
#endif

namespace {

#ifdef KIV_HAVE_VTERM

constexpr int kStartMs = 60000;

class StartUp : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(installedPrefix().empty()) << installProblem();
    std::string problem;
    ASSERT_TRUE(installation.make(problem)) << problem;
  }
  bool start(VtermScreen& terminal, const termios* settings = nullptr) {
    return terminal.start({installedProgram("hortelix")}, installation.environment(), dir.path(),
                          settings);
  }
  // Esc on the form ends the run with 0.
  void leaveForm(VtermScreen& terminal) {
    terminal.sendKeys("\x1b");
    const int status = terminal.waitForExit(kStartMs);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }

  TempDir dir;
  TestInstallation installation{dir.file("kiv")};
};

// Counts the opens of one file of a directory, as inotify reports them.
class OpenWatch {
 public:
  OpenWatch(const std::string& dir, const std::string& name) : name_(name) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) inotify_add_watch(fd_, dir.c_str(), IN_OPEN);
  }
  ~OpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  bool valid() const { return fd_ >= 0; }
  int opens() {
    alignas(inotify_event) char buffer[4096];
    ssize_t n;
    while ((n = read(fd_, buffer, sizeof buffer)) > 0) {
      for (char* at = buffer; at < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0 && name_ == event->name) ++opens_;
        at += sizeof(inotify_event) + event->len;
      }
    }
    return opens_;
  }

 private:
  std::string name_;
  int fd_ = -1;
  int opens_ = 0;
};

// Every open of a record file takes the shared lock of its lock file first; while another
// program holds the file exclusively each attempt fails there. Two attempts seen means the
// module came back after its wait, without the form; once the holder is gone it opens the
// file and shows the form.
TEST_F(StartUp, WaitsForARecordFileHeldExclusivelyAndOpensItWhenReleased) {
  const std::string file = installation.file("DADES/DepartaV");
  BackgroundProgram holder;
  ASSERT_TRUE(holder.startAndWaitForLine(
      {installedProgram("kivdata"), "lock", file, "--seconds", "600"}, "locked ", kStartMs));
  OpenWatch watch(installation.file("DADES"), "DepartaV.dat-lock");
  ASSERT_TRUE(watch.valid());

  VtermScreen terminal(25, 80);
  ASSERT_TRUE(start(terminal));
  ASSERT_TRUE(terminal.waitUntil([&] { return watch.opens() >= 2; }, kStartMs))
      << watch.opens() << " attempts\n"
      << terminal.screenText();
  EXPECT_TRUE(terminal.running());
  EXPECT_FALSE(terminal.contains("finca")) << terminal.screenText();
  EXPECT_FALSE(terminal.contains("FITXER")) << terminal.screenText();

  ASSERT_TRUE(holder.running());
  holder.stop(SIGTERM);
  ASSERT_TRUE(terminal.waitForText("Primera finca: 1   ", kStartMs)) << terminal.screenText();
  leaveForm(terminal);
}

TEST_F(StartUp, RecordFileThatCannotBeOpenedEndsTheRunWithItsMessage) {
  namespace fs = std::filesystem;
  struct Case {
    std::string language, file;
    void (*damage)(const std::string& root, const std::string& file);
    int status;  // the record manager's, shown in the message
  };
  const Case cases[] = {
      {"CAT", "TVRebut",
       [](const std::string& root, const std::string& file) {
         writeFileBytes(root + "/DADES/" + file + ".dat", "not a record file\n");
       },
       30},
      {"SPA", "DepartaV",
       [](const std::string& root, const std::string& file) {
         std::error_code error;
         fs::remove(root + "/DADES/" + file + ".dat", error);
         fs::create_directory(root + "/DADES/" + file + ".dat", error);
       },
       30},
      {"GLG", "FinquesV",  // missing, and so is the description to make it from
       [](const std::string& root, const std::string& file) {
         std::error_code error;
         fs::remove(root + "/DADES/" + file + ".dat", error);
         fs::remove(root + "/ddf/" + file + ".xdf", error);
       },
       28},
      {"OCI", "DepartaV",
       [](const std::string& root, const std::string& file) {
         writeFileBytes(root + "/DADES/" + file + ".dat", std::string(8192, '\0'));
       },
       30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language + " " + c.file);
    TempDir caseDir;
    TestInstallation damaged(caseDir.file("kiv"));
    std::string problem;
    ASSERT_TRUE(damaged.make(problem)) << problem;
    ASSERT_TRUE(damaged.useSession(c.language, damaged.listing()));
    c.damage(damaged.root(), c.file);

    const termios before = shellTerminalSettings();
    VtermScreen terminal(25, 80);
    ASSERT_TRUE(terminal.start({installedProgram("hortelix")}, damaged.environment(),
                               caseDir.path(), &before));
    const std::string expected = sessionLanguage(c.language).openFailure + damaged.root() +
                                 "/DADES\\" + c.file + " (" + std::to_string(c.status) + ")";
    ASSERT_TRUE(terminal.waitUntil([&] { return messageWindowText(terminal) == expected; }, kStartMs))
        << messageWindowText(terminal) << "\n"
        << expected << "\n"
        << terminal.screenText();
    EXPECT_TRUE(terminal.running());

    terminal.sendKeys("x");
    const int status = terminal.waitForExit(kStartMs);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(terminal.alternateScreen());
    EXPECT_TRUE(sameTerminalSettings(terminal.terminalSettings(), before));
    EXPECT_FALSE(fileExists(damaged.printFile()));
  }
}

TEST_F(StartUp, SmallTerminalShowsTheNoticeThenTheFormOnceEnlarged) {
  VtermScreen terminal(20, 70);
  ASSERT_TRUE(start(terminal));
  ASSERT_TRUE(terminal.waitForText("Amplieu el terminal a 80 x 25 (ara 70 x 20)", kStartMs))
      << terminal.screenText();
  EXPECT_FALSE(terminal.contains("finca"));

  // Wider but not yet tall enough: the notice follows the size.
  terminal.resize(24, 80);
  ASSERT_TRUE(terminal.waitForText("Amplieu el terminal a 80 x 25 (ara 80 x 24)", kStartMs))
      << terminal.screenText();
  terminal.resize(25, 80);
  ASSERT_TRUE(terminal.waitForText("Primera finca: 1   ", kStartMs)) << terminal.screenText();
  EXPECT_TRUE(terminal.contains("Darrera finca: 999 "));
  EXPECT_FALSE(terminal.contains("Amplieu"));
  leaveForm(terminal);
}

#else

TEST(StartUp, NeedsLibvterm) { GTEST_SKIP() << "built without libvterm"; }

#endif

}  // namespace
