// The installation's record files on a PostgreSQL server (KIV_TEST_POSTGRES, a database of
// each test's own), beyond the operator's run that operator_test.cpp makes on both back ends:
// within one run, the module shows and lists the same bytes from the SQLite files and, once
// they are moved onto the server, while a second process holds a record lock; it waits for a
// record file held exclusively on the server; and a server that cannot be reached ends the
// run with the record files' fatal message and status 20.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "installed_system.h"
#include "paths.h"
#include "platform/files.h"

#ifdef KIV_HAVE_VTERM
#include <vterm.h>

#include "vterm_screen.h"
#endif

namespace {

#ifdef KIV_HAVE_VTERM

constexpr int kStartMs = 60000;
constexpr int kKeyMs = 30000;

class OnPostgres : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(installedPrefix().empty()) << installProblem();
    std::string problem;
    ASSERT_TRUE(database.make(problem)) << problem;
    ASSERT_TRUE(installation.make(problem)) << problem;
  }

  void moveToServer() {
    std::string problem;
    ASSERT_TRUE(installation.moveToServer(database.server(), problem)) << problem;
  }

  bool start(VtermScreen& terminal) {
    return terminal.start({installedProgram("hortelix")}, installation.environment(), dir.path());
  }

  // The property list (F4) as the screen shows it, and the listing of every property; Esc
  // then ends the run with 0.
  void listEverything(std::string& propertyList, std::string& listing) {
    VtermScreen terminal(25, 80);
    ASSERT_TRUE(start(terminal));
    ASSERT_TRUE(terminal.waitForText("Primera finca: 1   ", kStartMs)) << terminal.screenText();
    terminal.pressKey(VTERM_KEY_FUNCTION(4));
    ASSERT_TRUE(terminal.waitForText("234  PL. MAJOR 1", kKeyMs)) << terminal.screenText();
    propertyList = terminal.screenText();
    terminal.sendKeys("\x1b");
    ASSERT_TRUE(terminal.waitUntil([&] { return !terminal.contains("PL. MAJOR"); }, kKeyMs))
        << terminal.screenText();
    terminal.sendKeys("\r\r");
    ASSERT_TRUE(terminal.waitForText("Confirmeu el llistat (S/N): ", kKeyMs))
        << terminal.screenText();
    const size_t confirmedAt = terminal.output().size();
    terminal.sendKeys("s\r");
    const std::string path = installation.listing();
    ASSERT_TRUE(terminal.waitUntil([&] { return fileExists(path); }, kStartMs))
        << terminal.screenText();
    listing = readFileBytes(path).value_or("");
    removeFile(path);
    ASSERT_TRUE(terminal.waitUntil(
        [&] {
          return terminal.output().find("\x1b[?1049h", confirmedAt) != std::string::npos &&
                 terminal.contains("Darrera finca: 999 ");
        },
        kStartMs))
        << terminal.screenText();
    terminal.sendKeys("\x1b");
    const int status = terminal.waitForExit(kStartMs);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }

  ProgramRun lockRecord(int position) {
    return runProgram(installation.lockCommand("DepartaV", position, 0));
  }

  TempDir dir;
  TestInstallation installation{dir.file("kiv")};
  ServerDatabase database;
};

TEST_F(OnPostgres, ListsWhatTheFilesListWhileARecordIsLockedElsewhere) {
  std::string listFromFiles, listingFromFiles;
  listEverything(listFromFiles, listingFromFiles);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_NE(listingFromFiles.find("LLISTAT DE DEPARTAMENTS BUITS"), std::string::npos);
  moveToServer();
  ASSERT_FALSE(HasFatalFailure());

  // A second process holds record 3 of the apartments (5/2, listed); a third cannot have it.
  BackgroundProgram holder;
  ASSERT_TRUE(holder.startAndWaitForLine(installation.lockCommand("DepartaV", 3, 600), "locked ",
                                         kStartMs));
  ProgramRun refused = lockRecord(3);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.errors.find("record locked by another process (status 84)"), std::string::npos)
      << refused.errors;
  EXPECT_EQ(lockRecord(4).exitCode, 0);  // only that record

  // The module reads without locks: the same property list and the same listing.
  std::string listFromServer, listingFromServer;
  listEverything(listFromServer, listingFromServer);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(listFromServer, listFromFiles);
  EXPECT_EQ(listingFromServer, listingFromFiles);
  EXPECT_TRUE(std::filesystem::is_empty(installation.file("DADES")));  // no file was made

  // The lock goes with its holder.
  ASSERT_TRUE(holder.running());
  holder.stop(SIGKILL);
  EXPECT_EQ(lockRecord(3).exitCode, 0);
}

TEST_F(OnPostgres, WaitsForARecordFileHeldExclusivelyOnTheServer) {
  moveToServer();
  ASSERT_FALSE(HasFatalFailure());
  BackgroundProgram holder;
  ASSERT_TRUE(holder.startAndWaitForLine(installation.lockCommand("DepartaV", 0, 600), "locked ",
                                         kStartMs));
  // The module's sessions: the properties' open beside the holder's, then the apartments'
  // tried again and again.
  const std::string sessions =
      "SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database.name() + "'";
  VtermScreen terminal(25, 80);
  ASSERT_TRUE(start(terminal));
  ASSERT_TRUE(terminal.waitUntil(
      [&] { return std::atoi(onServer(database.base(), sessions).c_str()) >= 2; }, kStartMs))
      << terminal.screenText();
  EXPECT_TRUE(terminal.running());
  EXPECT_FALSE(terminal.contains("finca")) << terminal.screenText();

  holder.stop(SIGTERM);
  ASSERT_TRUE(terminal.waitForText("Primera finca: 1   ", kStartMs)) << terminal.screenText();
  terminal.sendKeys("\x1b");
  const int status = terminal.waitForExit(kStartMs);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(OnPostgres, UnreachableServerEndsTheRunWithTheRecordFilesMessage) {
  int closedPort = 0;
  {  // a port that was free a moment ago and is closed again
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      closedPort = ntohs(address.sin_port);
    ::close(fd);
  }
  ASSERT_NE(closedPort, 0);
  ASSERT_TRUE(installation.nameServer("host=127.0.0.1 port=" + std::to_string(closedPort) +
                                      " user=kiv dbname=kiv"));
  VtermScreen terminal(25, 80);
  ASSERT_TRUE(start(terminal));
  const std::string expected =
      sessionLanguage("CAT").openFailure + installation.root() + "/DADES\\FinquesV (20)";
  ASSERT_TRUE(terminal.waitUntil([&] { return messageWindowText(terminal) == expected; }, kStartMs))
      << messageWindowText(terminal) << "\n"
      << expected << "\n"
      << terminal.screenText();
  terminal.sendKeys("x");
  const int status = terminal.waitForExit(kStartMs);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

#else

TEST(OnPostgres, NeedsLibvterm) {
  GTEST_SKIP() << "built without libvterm";
}

#endif

}  // namespace
