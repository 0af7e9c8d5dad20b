// The acceptance run once more with the installation's record files on a PostgreSQL server
// (KIV_TEST_POSTGRES, a database of each test's own): moved there with the installed
// `kivdata copy` and named in Quon.ini, the module lists exactly what it lists from the SQLite
// files, while a second process holds a record lock; it waits for a record file held
// exclusively on the server; and a server that cannot be reached ends the run with the
// record files' fatal message and status 20.
#include <gtest/gtest.h>
#include <libpq-fe.h>
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

// One statement on the test server; the first column of its first row, or "ERROR".
std::string onServer(const std::string& conninfo, const std::string& sql) {
  PGconn* connection = PQconnectdb(conninfo.c_str());
  std::string answer = "ERROR";
  if (PQstatus(connection) == CONNECTION_OK) {
    PGresult* result = PQexec(connection, sql.c_str());
    ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK && PQntuples(result) > 0)
      answer = PQgetvalue(result, 0, 0);
    else if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
      answer = "";
    PQclear(result);
  }
  PQfinish(connection);
  return answer;
}

// Quon.ini's key Servidor in section Dades set to `server`.
bool nameServer(const TestInstallation& installation, const std::string& server) {
  std::string quon = readFileBytes(installation.file("Quon.ini")).value_or("");
  const std::string line = "Servidor=" + server + "\r\n";
  size_t section = quon.find("[Dades]\r\n");
  if (section == std::string::npos)
    quon += "[Dades]\r\n" + line;
  else
    quon.insert(section + 9, line);  // the first of the section's keys of that name counts
  return writeFileBytes(installation.file("Quon.ini"), quon);
}

// The text of the message window: its lines, blanks around them cut, joined by one blank.
std::string messageText(const VtermScreen& terminal) {
  std::string text;
  for (int row = 1; row <= terminal.rows(); ++row) {
    const std::string line = terminal.rowText(row);
    const size_t left = line.find('\xB3'), right = line.rfind('\xB3');  // the frame's sides
    if (left == std::string::npos || right == left) continue;
    std::string inside = line.substr(left + 1, right - left - 1);
    inside.erase(0, inside.find_first_not_of(' '));
    inside.erase(inside.find_last_not_of(' ') + 1);
    text += (text.empty() ? "" : " ") + inside;
  }
  return text;
}

class OnPostgres : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(installedPrefix().empty()) << installProblem();
    const char* given = std::getenv("KIV_TEST_POSTGRES");
    ASSERT_TRUE(given && *given)
        << "KIV_TEST_POSTGRES is not set, so there is no PostgreSQL server to test on: run the "
           "tests with `make test`, or under scripts/test-postgres-cluster run";
    base = given;
    static int made = 0;
    database = "kivaccept_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
    ASSERT_EQ(onServer(base, "CREATE DATABASE " + database), "") << base;
    server = base + " dbname=" + database;
    std::string problem;
    ASSERT_TRUE(installation.make(problem)) << problem;
  }
  void TearDown() override {
    if (!database.empty()) onServer(base, "DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
  }

  // The record files onto the server with the installed kivdata, Quon.ini naming it, and the
  // SQLite files out of the way.
  void moveToServer() {
    ProgramRun copy = runKivdata({"copy", installation.file("DADES"), server});
    ASSERT_EQ(copy.exitCode, 0) << copy.output << copy.errors;
    EXPECT_NE(copy.output.find("copied 3 record files"), std::string::npos) << copy.output;
    ASSERT_TRUE(nameServer(installation, server));
    std::filesystem::rename(installation.file("DADES"), installation.file("DADES.files"));
    std::filesystem::create_directory(installation.file("DADES"));
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

  ProgramRun lockRecord(int position, int seconds) {
    return runKivdata({"lock", installation.file("DADES/DepartaV"), "--record",
                       std::to_string(position), "--seconds", std::to_string(seconds)});
  }

  std::string base, database, server;
  TempDir dir;
  TestInstallation installation{dir.file("kiv")};
};

TEST_F(OnPostgres, ListsWhatTheFilesListWhileARecordIsLockedElsewhere) {
  std::string listFromFiles, listingFromFiles;
  listEverything(listFromFiles, listingFromFiles);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_NE(listingFromFiles.find("LLISTAT DE DEPARTAMENTS BUITS"), std::string::npos);
  moveToServer();
  ASSERT_FALSE(HasFatalFailure());

  // A second process holds record 2 of the apartments; a third cannot have it.
  BackgroundProgram holder;
  ASSERT_TRUE(holder.startAndWaitForLine(
      {installedProgram("kivdata"), "lock", installation.file("DADES/DepartaV"), "--record", "2",
       "--seconds", "600"},
      "locked ", kStartMs));
  ProgramRun refused = lockRecord(2, 0);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.errors.find("record locked by another process (status 84)"), std::string::npos)
      << refused.errors;
  EXPECT_EQ(lockRecord(3, 0).exitCode, 0);  // only that record

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
  EXPECT_EQ(lockRecord(2, 0).exitCode, 0);
}

TEST_F(OnPostgres, WaitsForARecordFileHeldExclusivelyOnTheServer) {
  moveToServer();
  ASSERT_FALSE(HasFatalFailure());
  BackgroundProgram holder;
  ASSERT_TRUE(holder.startAndWaitForLine({installedProgram("kivdata"), "lock",
                                          installation.file("DADES/DepartaV"), "--seconds", "600"},
                                         "locked ", kStartMs));
  // The module's sessions: the properties' open beside the holder's, then the apartments'
  // tried again and again.
  const std::string sessions =
      "SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database + "'";
  VtermScreen terminal(25, 80);
  ASSERT_TRUE(start(terminal));
  ASSERT_TRUE(terminal.waitUntil([&] { return std::atoi(onServer(base, sessions).c_str()) >= 2; },
                                 kStartMs))
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
  ASSERT_TRUE(nameServer(
      installation, "host=127.0.0.1 port=" + std::to_string(closedPort) + " user=kiv dbname=kiv"));
  VtermScreen terminal(25, 80);
  ASSERT_TRUE(start(terminal));
  const std::string expected =
      sessionLanguage("CAT").openFailure + installation.root() + "/DADES\\FinquesV (20)";
  ASSERT_TRUE(terminal.waitUntil([&] { return messageText(terminal) == expected; }, kStartMs))
      << messageText(terminal) << "\n"
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
