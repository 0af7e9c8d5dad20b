// F4 in the running module: hortelix on a demo installation in a pseudo-terminal, the
// property list opened from the first field of the form, a property picked, and its number
// in the field.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "paths.h"
#include "platform/files.h"

#ifdef KIV_HAVE_VTERM
#include <vterm.h>

#include "vterm_screen.h"
#endif

namespace {

// Runs kivdata with the arguments, its standard output into `output`; true when it ends with 0.
bool runKivdata(const std::vector<std::string>& arguments, const std::string& output) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (!output.empty() && !freopen(output.c_str(), "w", stdout)) _exit(127);
    std::vector<std::string> words = {programPath("kivdata")};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The first column of each data row of a CSV export (codes hold no commas or quotes).
std::vector<int> firstColumn(const std::string& csv) {
  std::vector<int> codes;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);  // the column names
  while (std::getline(lines, line)) {
    if (!line.empty()) codes.push_back(std::stoi(line.substr(0, line.find(','))));
  }
  return codes;
}

#ifdef KIV_HAVE_VTERM

TEST(BrowseListRun, F4OnTheFirstFieldPicksAPropertyIntoIt) {
  TempDir dir;
  const std::string root = dir.file("demo");
  ASSERT_TRUE(runKivdata({"demo", root, "--properties", "6", "--seed", "7"}, ""));
  // The property numbers as the record file holds them, read back by the tool.
  const std::string csv = dir.file("properties.csv");
  ASSERT_TRUE(runKivdata({"export", "properties", root + "/DADES/FinquesV", csv}, ""));
  const std::vector<int> codes = firstColumn(readFileBytes(csv).value_or(""));
  ASSERT_GE(codes.size(), 3u);
  char third[8], last[8];
  std::snprintf(third, sizeof third, "%03d", codes[2] % 1000);
  std::snprintf(last, sizeof last, "%03d", codes.back() % 1000);

  VtermScreen terminal(25, 80);
  ASSERT_TRUE(terminal.start(
      {programPath("hortelix")},
      {"KIVROOT=" + root + "/", "KIVTMP=" + root + "/SESSIO/", "KIVEXE=" + binaryDir() + "/"},
      root));
  ASSERT_TRUE(terminal.waitForText("Primera finca: 1", 60000)) << terminal.screenText();

  terminal.pressKey(VTERM_KEY_FUNCTION(4));
  // Keys typed while the list is still being read are dropped: wait for its last line (all
  // six properties fit on the first page), then pick the third.
  ASSERT_TRUE(terminal.waitForText(std::string(last) + "  ", 30000)) << terminal.screenText();
  ASSERT_TRUE(terminal.contains(std::string(third) + "  ")) << terminal.screenText();
  terminal.pressKey(VTERM_KEY_DOWN);
  terminal.pressKey(VTERM_KEY_DOWN);
  terminal.pressKey(VTERM_KEY_ENTER);
  EXPECT_TRUE(terminal.waitForText("Primera finca: " + std::string(third), 30000))
      << terminal.screenText();

  // The pick moved on to the second field: Esc there goes back to the first, Esc there ends
  // the run (two Escs in one write are two Esc keys).
  terminal.sendKeys("\x1b\x1b");
  const int status = terminal.waitForExit(60000);
  ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fileExists(root + "/SESSIO/Browse.tmp"));
}

#else

TEST(BrowseListRun, F4OnTheFirstFieldPicksAPropertyIntoIt) {
  GTEST_SKIP() << "built without libvterm";
}

#endif

}  // namespace
