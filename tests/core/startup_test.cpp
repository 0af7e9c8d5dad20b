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
