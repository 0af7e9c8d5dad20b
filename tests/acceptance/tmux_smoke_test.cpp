// A smoke test through a terminal nobody here wrote: the installed hortelix in a detached
// tmux session of 80 x 25, driven with tmux's own key names, its screen read back with
// capture-pane (UTF-8), and the listing file of the session's text device checked.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "installed_system.h"
#include "paths.h"
#include "platform/files.h"

namespace {

constexpr int kWaitMs = 60000;

class TmuxSession {
 public:
  explicit TmuxSession(const std::string& socket) : socket_(socket) {}
  ~TmuxSession() { tmux({"kill-server"}); }
  ProgramRun tmux(const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv = {"tmux", "-S", socket_, "-f", "/dev/null"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv);
  }
  std::string screen() const { return tmux({"capture-pane", "-p", "-t", "kiv"}).output; }
  bool alternateScreen() const {
    return tmux({"display-message", "-p", "-t", "kiv", "#{alternate_on}"}).output == "1\n";
  }
  bool keys(const std::vector<std::string>& names) const {
    std::vector<std::string> arguments = {"send-keys", "-t", "kiv"};
    arguments.insert(arguments.end(), names.begin(), names.end());
    return tmux(arguments).exitCode == 0;
  }

 private:
  std::string socket_;
};

// Polls until the condition holds, a few times a second, up to timeoutMs.
bool pollUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// The listed apartments: the lines that start with six digits.
std::vector<std::string> listedNumbers(const std::string& listing) {
  std::vector<std::string> numbers;
  for (const std::string& line : listingLines(listing))
    if (line.size() >= 6 && line.substr(0, 6).find_first_not_of("0123456789") == std::string::npos)
      numbers.push_back(line.substr(0, 6));
  return numbers;
}

TEST(TmuxSmoke, ListingThroughTmux) {
  if (runProgram({"tmux", "-V"}).exitCode != 0)
    GTEST_SKIP() << "tmux is not installed (Debian package tmux): the smoke test through tmux "
                    "does not run";
  ASSERT_FALSE(installedPrefix().empty()) << installProblem();
  TempDir dir;
  TestInstallation installation(dir.file("kiv"));
  std::string problem;
  ASSERT_TRUE(installation.make(problem)) << problem;

  // The module's exit code goes to a file once it ends.
  const std::string ended = dir.file("ended");
  std::string command = "cd '" + dir.path() + "' && env";
  for (const std::string& setting : installation.environment()) command += " '" + setting + "'";
  command += " '" + installedProgram("hortelix") + "'; echo $? > '" + ended + "'";
  TmuxSession session(dir.file("tmux.socket"));
  ProgramRun started = session.tmux(
      {"new-session", "-d", "-s", "kiv", "-x", "80", "-y", "25", "sh", "-c", command});
  ASSERT_EQ(started.exitCode, 0) << started.errors;

  auto shows = [&](const std::string& text) {
    return pollUntil([&] { return session.screen().find(text) != std::string::npos; }, kWaitMs);
  };
  ASSERT_TRUE(shows("Primera finca: 1")) << session.screen();

  // F4: the property list, read to its last line; the second property picked into the
  // first field.
  ASSERT_TRUE(session.keys({"F4"}));
  ASSERT_TRUE(shows("234  PL. MAJOR 1")) << session.screen();
  EXPECT_NE(session.screen().find("005  C/ DE PROVEN\xC3\x87" "A, 12"), std::string::npos);
  ASSERT_TRUE(session.keys({"Down", "Enter"}));
  ASSERT_TRUE(shows("Primera finca: 005")) << session.screen();

  // Alt+X opens the calculator over the form; Esc closes it without a result.
  ASSERT_TRUE(session.keys({"M-x"}));
  ASSERT_TRUE(shows("\xE2\x94\x82                     0  \xE2\x94\x82")) << session.screen();
  ASSERT_TRUE(session.keys({"Escape"}));
  ASSERT_TRUE(pollUntil([&] { return session.screen().find("\xE2\x94\x82") == std::string::npos; },
                        kWaitMs))
      << session.screen();
  EXPECT_NE(session.screen().find("Darrera finca: 999"), std::string::npos) << session.screen();

  // Enter ends the panel, S confirms; the listing reaches the text device.
  ASSERT_TRUE(session.keys({"Enter"}));
  ASSERT_TRUE(shows("Confirmeu el llistat (S/N):")) << session.screen();
  ASSERT_TRUE(session.keys({"s", "Enter"}));
  ASSERT_TRUE(pollUntil(
      [&] { return fileExists(installation.listing()) && session.alternateScreen(); }, kWaitMs))
      << session.screen();
  EXPECT_EQ(listedNumbers(readFileBytes(installation.listing()).value_or("")),
            (std::vector<std::string>{"005002", "005003", "007001", "012001"}));

  // The form is back; Esc on its first field ends the run with 0.
  ASSERT_TRUE(shows("Primera finca: 005")) << session.screen();
  ASSERT_TRUE(session.keys({"Escape"}));
  ASSERT_TRUE(pollUntil([&] { return fileExists(ended); }, kWaitMs)) << session.screen();
  EXPECT_EQ(readFileBytes(ended).value_or(""), "0\n");
}

}  // namespace
