#include "platform/process.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "paths.h"
#include "platform/files.h"
#include "platform/memory_console.h"

namespace {

ProgramResult shell(const std::string& script) { return runProgram("/bin/sh", {"-c", script}); }

TEST(Process, ExitCodeOfTheProgram) {
  const std::pair<const char*, int> cases[] = {
      {"exit 0", 0}, {"exit 3", 3}, {"kill -TERM $$", 128 + SIGTERM}};
  for (const auto& [script, code] : cases) {
    SCOPED_TRACE(script);
    ProgramResult result = shell(script);
    EXPECT_TRUE(result.started());
    EXPECT_EQ(result.exitCode, code);
  }
}

// The terminal is the program's while it runs: flushed and given back before, taken again after.
TEST(Process, TerminalGivenBackWhileTheProgramRuns) {
  MemoryConsole screen;
  setConsole(&screen);
  EXPECT_EQ(shell("exit 0").exitCode, 0);
  EXPECT_EQ(runProgram("/nonexistent/ZIDERUVA").exitCode, -1);
  setConsole(nullptr);
  EXPECT_EQ(screen.suspendCount(), 2);
  EXPECT_EQ(screen.resumeCount(), 2);
  EXPECT_GE(screen.flushCount(), 2);
}

TEST(Process, ProgramThatCannotStart) {
  TempDir dir;
  ASSERT_TRUE(writeFileBytes(dir.file("notes"), "not a program\n"));
  ::chmod(dir.file("notes").c_str(), 0644);
  const std::pair<std::string, int> cases[] = {
      {dir.file("ZIDERUVA"), ENOENT}, {dir.file("notes"), EACCES}};
  for (const auto& [path, error] : cases) {
    SCOPED_TRACE(path);
    ProgramResult result = runProgram(path);
    EXPECT_FALSE(result.started());
    EXPECT_EQ(result.startError, error);
  }
}

TEST(Process, ProgramNameResolvedLikeEveryOtherName) {
  TempDir dir;
  ASSERT_TRUE(writeFileBytes(dir.file("ziderUVA"), "#!/bin/sh\nexit 7\n"));
  ::chmod(dir.file("ziderUVA").c_str(), 0755);
  EXPECT_EQ(runProgram(dir.path() + "\\ZIDERUVA").exitCode, 7);
}

// The program gets the environment and current directory of the caller and no descriptor
// beyond the standard three, even one the caller left inheritable.
TEST(Process, EnvironmentDirectoryAndDescriptors) {
  TempDir dir;
  char* before = ::getcwd(nullptr, 0);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  ::setenv("KIV_PROCESS_TEST", "yes", 1);
  int leaked = ::open("/dev/null", O_RDONLY);  // no O_CLOEXEC
  ASSERT_GE(leaked, 0);
  ASSERT_EQ(::dup2(leaked, 50), 50);

  ProgramResult result = shell(
      "test \"$KIV_PROCESS_TEST\" = yes || exit 1; test \"$(pwd -P)\" = \"$(cd '" + dir.path() +
      "' && pwd -P)\" || exit 2; test -e /proc/$$/fd/50 && exit 3; exit 0");
  ::close(50);
  ::close(leaked);
  ::unsetenv("KIV_PROCESS_TEST");
  ASSERT_EQ(::chdir(before), 0);
  std::free(before);
  EXPECT_EQ(result.exitCode, 0);
}

// Ctrl+C on the terminal while the program runs reaches both processes; the caller must live
// on, and its own handling comes back afterwards.
TEST(Process, InterruptWhileWaitingBelongsToTheProgram) {
  ProgramResult result = shell("kill -INT $PPID; kill -QUIT $PPID; exit 4");
  EXPECT_EQ(result.exitCode, 4);
  struct sigaction now;
  ::sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
  ::sigaction(SIGQUIT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(Process, FindProgramOnPath) {
  TempDir dir;
  ASSERT_TRUE(writeFileBytes(dir.file("lp"), "#!/bin/sh\n"));
  ::chmod(dir.file("lp").c_str(), 0755);
  ASSERT_TRUE(writeFileBytes(dir.file("plain"), "x"));
  std::string saved = environmentValue("PATH");
  ::setenv("PATH", ("/nonexistent:" + dir.path()).c_str(), 1);
  EXPECT_EQ(findProgramOnPath("lp"), dir.file("lp"));
  EXPECT_EQ(findProgramOnPath("plain"), "");
  EXPECT_EQ(findProgramOnPath("absent"), "");
  EXPECT_EQ(findProgramOnPath(dir.file("lp")), dir.file("lp"));
  ::setenv("PATH", saved.c_str(), 1);
}

}  // namespace
