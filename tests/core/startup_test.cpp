#include "core/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/session_settings.h"
#include "environment_guard.h"
#include "paths.h"
#include "platform/files.h"
#include "platform/memory_console.h"
#include "records/record_file_table.h"
#include "report/print_file.h"
#include "ui/screen.h"

namespace {

std::string currentDirectory() { return std::filesystem::current_path().string(); }

// An installation root (its description files, an empty DADES) and a session directory in a
// scratch directory, the session pointed at them, and the in-memory console installed.
class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    makeInstallation(rootDir());
    ::mkdir(sessionDir().c_str(), 0777);
    env.set("KIVROOT", rootDir() + "/");
    env.set("KIVTMP", sessionDir());
    resetSessionSettings();
    setConsole(&screen);
  }
  void TearDown() override {
    int16_t status = 0;
    resetRecordFiles(status);
    clearRecordFileTable();
    resetPrintFileState();
    resetScreenState();
    setConsole(nullptr);
    resetSessionSettings();
  }

  static void makeInstallation(const std::string& root) {
    std::filesystem::create_directories(root + "/ddf");
    std::filesystem::create_directories(root + "/DADES");
    for (const char* name : {"FinquesV.xdf", "DepartaV.xdf", "TVRebut.xdf"})
      std::filesystem::copy_file(sourceDir() + "/dist/ddf/" + name, root + "/ddf/" + name);
    for (const char* dir : {"FORMS", "LOCALE"})
      std::filesystem::copy(sourceDir() + "/dist/" + dir, root + "/" + dir);
  }
  std::string rootDir() const { return scratch.file("Inst"); }
  std::string sessionDir() const { return scratch.file("session"); }

  EnvironmentGuard env;
  TempDir scratch;
  MemoryConsole screen;
};

TEST_F(RunTest, StartUpEntersTheRootAndOpensTheRecordFiles) {
  const std::string canonicalRoot = std::filesystem::canonical(rootDir()).string();
  // The root as configured, and written the application's way with other case.
  for (const std::string& kivroot : {rootDir() + "/", scratch.path() + "\\INST\\"}) {
    resetSessionSettings();
    env.set("KIVROOT", kivroot);
    startUp();
    EXPECT_EQ(currentDirectory(), canonicalRoot) << kivroot;
    EXPECT_EQ(sessionSettings.rootDir, kivroot);
    EXPECT_EQ(sessionSettings.moduleName, "HORTELIX");
    EXPECT_FALSE(screen.cursorVisible());
    for (int16_t fileId : {506, 507, 503}) EXPECT_GT(findRecordFile(fileId), 0) << fileId;
    closeAllFiles();
    for (int16_t fileId : {506, 507, 503}) EXPECT_LE(findRecordFile(fileId), 0) << fileId;
  }
  EXPECT_TRUE(fileExists(rootDir() + "/DADES/FinquesV.dat"));
}

// Esc on the first form: the form was shown on a screen cleared once in colour "n" and
// gives it back when it closes, no print file was written, the record files are closed and
// the run ends with 0.
TEST_F(RunTest, EscOnTheFirstFormEndsTheRun) {
  ASSERT_TRUE(writeFileBytes(sessionDir() + "/QuonTerm.ini",
                             "[Pantalla]\r\nCol0=01020304050607080910\r\n"));
  screen.fill('X', 0x4F);
  std::vector<std::string> formRows;
  screen.setIdleHandler([&](MemoryConsole& console) {
    formRows.push_back(console.rowText(10));
    console.pushKey(27);
  });
  EXPECT_EQ(runModule(), 0);
  ASSERT_EQ(formRows.size(), 1u);
  EXPECT_NE(formRows[0].find("Primera finca: 1   "), std::string::npos) << formRows[0];
  // Row 1 holds the session's title (two blanks here) in colour 2: 5 on 6.
  const std::string title = sessionSettings.menuTitle;
  const int16_t titleStart = static_cast<int16_t>(41 - title.size() / 2);
  for (int16_t row = 1; row <= 25; ++row)
    for (int16_t column = 1; column <= 80; ++column) {
      ConsoleCell cell = screen.cell(row, column);
      ASSERT_EQ(cell.character, ' ') << row << "," << column;
      const bool inTitle =
          row == 1 && column >= titleStart && column < titleStart + int16_t(title.size());
      ASSERT_EQ(cell.attribute, inTitle ? 5 + 16 * 6 : 3 + 16 * 4)  // colour 1: 3 on 4
          << row << "," << column;
    }
  EXPECT_FALSE(fileExists(sessionDir() + "/zideruva.tmp"));
  for (int16_t fileId : {506, 507, 503}) EXPECT_LE(findRecordFile(fileId), 0) << fileId;
}

TEST_F(RunTest, CloseAllFilesClosesAnOpenPrintFile) {
  sessionSettings.tempDir = sessionDir() + "/";
  ASSERT_TRUE(openPrintFile("PANTALLA"));
  closeAllFiles();
  EXPECT_EQ(printFileState.printFile, nullptr);
  auto bytes = readFileBytes(sessionDir() + "/zideruva.tmp");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, "DEVICEPANTALLA\r\n");
  closeAllFiles();  // nothing left open: nothing happens
}

// Runs the program with KIVROOT and KIVTMP set, in a session of its own so that it never
// reaches the terminal of whoever runs the tests; its exit status.
int runProgramDetached(const std::string& program, const std::string& root,
                       const std::string& session) {
  pid_t child = ::fork();
  if (child == 0) {
    ::setsid();
    ::setenv("KIVROOT", root.c_str(), 1);
    ::setenv("KIVTMP", session.c_str(), 1);
    if (!freopen("/dev/null", "r", stdin) || !freopen("/dev/null", "w", stdout)) _exit(126);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return status;
}

// The program ends with 0 after a normal run and after a record file that cannot be opened
// (no installation at the root: the message waits for a key, which never comes).
TEST_F(RunTest, ProgramEndsWithExitCodeZero) {
  const std::string program = programPath("hortelix");
  if (!fileExists(program)) GTEST_SKIP() << "hortelix is not built";
  for (const std::string& kivroot : {rootDir() + "/", scratch.file("missing") + "/"}) {
    int status = runProgramDetached(program, kivroot, sessionDir());
    ASSERT_TRUE(WIFEXITED(status)) << kivroot;
    EXPECT_EQ(WEXITSTATUS(status), 0) << kivroot;
  }
  EXPECT_TRUE(fileExists(rootDir() + "/DADES/DepartaV.dat"));
}

}  // namespace
