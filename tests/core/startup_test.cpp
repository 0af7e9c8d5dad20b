#include "core/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/session_settings.h"
#include "environment_guard.h"
#include "paths.h"
#include "platform/files.h"
#include "platform/memory_console.h"
#include "report/print_file.h"
#include "ui/screen.h"

namespace {

std::string currentDirectory() { return std::filesystem::current_path().string(); }

TEST(StartUp, EntersTheRootAndNamesTheModule) {
  EnvironmentGuard env;
  TempDir root;
  ::mkdir(root.file("Inst").c_str(), 0777);
  const std::string canonicalRoot = std::filesystem::canonical(root.file("Inst")).string();
  const std::string before = currentDirectory();
  struct Case {
    std::string kivroot, expectedDirectory;
  } cases[] = {
      {root.file("Inst") + "/", canonicalRoot},
      {root.path() + "\\INST\\", canonicalRoot},     // written the application's way
      {root.file("missing") + "/", before},         // cannot be entered: ignored
  };
  for (const Case& c : cases) {
    ASSERT_EQ(::chdir(before.c_str()), 0);
    resetSessionSettings();
    env.set("KIVROOT", c.kivroot);
    startUp();
    EXPECT_EQ(currentDirectory(), c.expectedDirectory) << c.kivroot;
    EXPECT_EQ(sessionSettings.rootDir, c.kivroot);
    EXPECT_EQ(sessionSettings.moduleName, "HORTELIX");
  }
  resetSessionSettings();
}

// Esc on the first form: the screen was cleared once in colour "n", no print file was
// written, and the run ends with 0.
TEST(RunModule, EscOnTheFirstFormEndsTheRun) {
  EnvironmentGuard env;
  TempDir session;
  env.set("KIVTMP", session.path());
  ASSERT_TRUE(writeFileBytes(session.file("QuonTerm.ini"),
                             "[Pantalla]\r\nCol0=01020304050607080910\r\n"));
  MemoryConsole screen;
  screen.fill('X', 0x4F);
  setConsole(&screen);
  resetSessionSettings();
  EXPECT_EQ(runModule(), 0);
  EXPECT_FALSE(screen.cursorVisible());
  for (int16_t row = 1; row <= 25; ++row)
    for (int16_t column = 1; column <= 80; ++column) {
      ConsoleCell cell = screen.cell(row, column);
      ASSERT_EQ(cell.character, ' ') << row << "," << column;
      ASSERT_EQ(cell.attribute, 3 + 16 * 4) << row << "," << column;  // colour 1: 3 on 4
    }
  EXPECT_FALSE(fileExists(session.file("zideruva.tmp")));
  setConsole(nullptr);
  resetScreenState();
  resetSessionSettings();
}

TEST(CloseAllFiles, ClosesAnOpenPrintFile) {
  EnvironmentGuard env;
  TempDir session;
  resetSessionSettings();
  sessionSettings.tempDir = session.path() + "/";
  ASSERT_TRUE(openPrintFile("PANTALLA"));
  closeAllFiles();
  EXPECT_EQ(printFileState.printFile, nullptr);
  auto bytes = readFileBytes(session.file("zideruva.tmp"));
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, "DEVICEPANTALLA\r\n");
  closeAllFiles();  // nothing left open: nothing happens
  resetPrintFileState();
  resetSessionSettings();
}

TEST(StartUp, ProgramEndsWithExitCodeZero) {
  const std::string program = programPath("hortelix");
  if (!fileExists(program)) GTEST_SKIP() << "hortelix is not built";
  TempDir root;
  for (const std::string& kivroot : {root.path() + "/", root.file("missing") + "/"}) {
    std::string command = "KIVROOT='" + kivroot + "' KIVTMP='" + root.path() + "' '" +
                          program + "' </dev/null >/dev/null 2>&1";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << kivroot;
    EXPECT_EQ(WEXITSTATUS(status), 0) << kivroot;
  }
}

}  // namespace
