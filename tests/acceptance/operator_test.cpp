// The operator at work with the installed programs, in a pseudo-terminal read through a
// terminal emulator, on an installation made by the installed kivdata: the form, a property
// picked with F4, the range confirmed, the listing on a text device, the form back with its
// values, a second listing, Esc, all while another process holds the lock of a listed
// apartment; and the form and the listing in each of the four languages. Each run twice:
// with the record files as the installation's SQLite files, and moved onto a database of
// the PostgreSQL server of KIV_TEST_POSTGRES (without it those runs fail). The same bytes
// are expected from both.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

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

constexpr int kStartMs = 60000;  // a start, a listing: the machine may be busy
constexpr int kKeyMs = 30000;    // the answer to a key

class OperatorRun : public ::testing::TestWithParam<BackEnd> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(installedPrefix().empty()) << installProblem();
    std::string problem;
    ASSERT_TRUE(installation.make(problem)) << problem;
    if (GetParam() == BackEnd::Postgres) {
      ASSERT_TRUE(database.make(problem)) << problem;
      ASSERT_TRUE(installation.moveToServer(database.server(), problem)) << problem;
    }
  }
  void TearDown() override {
    // On the server the module never falls back to the files: none was made in DADES.
    if (GetParam() == BackEnd::Postgres && !database.name().empty()) {
      EXPECT_TRUE(std::filesystem::is_empty(installation.file("DADES")));
    }
  }
  bool start(VtermScreen& terminal, const termios* settings = nullptr) {
    return terminal.start({installedProgram("hortelix")}, installation.environment(), dir.path(),
                          settings);
  }
  // Confirms the panel on screen and notes where the module's output stood.
  void confirm(VtermScreen& terminal, const std::string& answer) {
    confirmedAt = terminal.output().size();
    terminal.sendKeys(answer + "\r");
  }
  // After a confirmation the module gives the terminal to the print program and takes it
  // back (the alternate screen again) once that has ended; then the form shows `text`.
  bool waitForFormAgain(VtermScreen& terminal, const std::string& text) {
    return terminal.waitUntil(
        [&] {
          return terminal.output().find("\x1b[?1049h", confirmedAt) != std::string::npos &&
                 terminal.contains(text);
        },
        kStartMs);
  }
  // Waits for the listing of the text device and takes it away, so the next one shows.
  std::string takeListing(VtermScreen& terminal) {
    const std::string path = installation.listing();
    // The print program creates the file, then writes the whole listing in one write: wait
    // for it to hold something, not only to exist.
    EXPECT_TRUE(terminal.waitUntil([&] { return !readFileBytes(path).value_or("").empty(); },
                                   kStartMs))
        << terminal.screenText();
    std::string text = readFileBytes(path).value_or("");
    removeFile(path);
    return text;
  }

  TempDir dir;
  TestInstallation installation{dir.file("kiv")};
  ServerDatabase database;
  size_t confirmedAt = 0;
};

// The header block of a page of the Catalan listing.
std::vector<std::string> pageHeader() {
  return {
      placed({{1, kCompanyName}, {85, "P\xC3\x80GINA    1"}}),
      "",
      placed({{27, std::string("LLISTAT DE DEPARTAMENTS BUITS A ") + kListedDate}}),
      "",
      placed({{1, "REBUT"}, {11, "ADRE\xC3\x87" "A"}, {66, "        RENDA"}, {83, "        RESTA"}}),
      std::string(95, '-'),
  };
}

std::vector<std::string> withHeader(const std::vector<std::string>& lines) {
  std::vector<std::string> listing = pageHeader();
  listing.insert(listing.end(), lines.begin(), lines.end());
  return listing;
}

// The record of apartment 5/2 (the third imported), which both listings show.
constexpr int kLockedApartment = 3;

TEST_P(OperatorRun, FormPickRangeListingTwiceAndEsc) {
  // Another process holds the lock of a listed apartment all along: the module reads past it.
  BackgroundProgram holder;
  ASSERT_TRUE(holder.startAndWaitForLine(
      installation.lockCommand("DepartaV", kLockedApartment, 600), "locked ", kStartMs));

  const termios before = shellTerminalSettings();
  VtermScreen terminal(25, 80);
  ASSERT_TRUE(start(terminal, &before));
  ASSERT_TRUE(terminal.waitForText("Primera finca: 1   ", kStartMs)) << terminal.screenText();
  EXPECT_TRUE(terminal.contains("Darrera finca: 999 "));
  EXPECT_NE(terminal.rowText(1).find(" LLISTAT DE DEPARTAMENTS BUITS "), std::string::npos);

  // F4 on the first field: the properties in number order; the second one picked. Keys
  // typed while the list is still being read are dropped, so wait for its last line.
  terminal.pressKey(VTERM_KEY_FUNCTION(4));
  ASSERT_TRUE(terminal.waitForText("234  PL. MAJOR 1", kKeyMs)) << terminal.screenText();
  EXPECT_TRUE(terminal.contains("003  C/ ANTIC 3"));
  EXPECT_TRUE(terminal.contains("005  C/ DE PROVEN\x80" "A, 12"));
  terminal.pressKey(VTERM_KEY_DOWN);
  terminal.pressKey(VTERM_KEY_ENTER);
  ASSERT_TRUE(terminal.waitForText("Primera finca: 005 ", kKeyMs)) << terminal.screenText();
  EXPECT_FALSE(terminal.contains("C/ ANTIC 3"));

  // The pick moved on to the last field: 12 there, Enter ends the panel, S confirms.
  terminal.sendKeys("\x19" "12\r");
  ASSERT_TRUE(terminal.waitForText("Confirmeu el llistat (S/N): ", kKeyMs))
      << terminal.screenText();
  confirm(terminal, "s");
  const std::vector<std::string> first = withHeader({
      placed({{1, "005002"}, {11, "C/ DE PROVEN\xC3\x87" "A, 12"}, {52, "1r 2a"},
              {66, "       692,00"}, {83, "        29,50"}}),
      placed({{1, "005003"}, {11, "C/ DE PROVEN\xC3\x87" "A, 12"}, {52, "BAIXOS"},
              {66, "         0,00"}, {83, "         0,00"}}),
      placed({{1, "007001"}, {11, "C/ DE L'\xC3\x80NGEL 3 BIS"}, {52, "\xC3\x80TIC 1a"},
              {66, "       100,50"}, {83, "        25,00"}}),
      placed({{1, "012001"}, {11, "C/ DEL MAR 8"}, {52, "2n 1a"}, {66, "    -1.234,56"},
              {83, "        -1,05"}}),
  });
  EXPECT_EQ(listingLines(takeListing(terminal)), first);
  const std::string printFile = readFileBytes(installation.printFile()).value_or("");
  EXPECT_EQ(printFile.rfind("DEVICE" + installation.listing() + "\r\n", 0), 0u) << printFile;

  // The form again, with the range of the listing; the confirmation panel is gone.
  ASSERT_TRUE(waitForFormAgain(terminal, "Darrera finca: 12  ")) << terminal.screenText();
  EXPECT_TRUE(terminal.contains("Primera finca: 005 "));
  EXPECT_FALSE(terminal.contains("Confirmeu"));

  // A second cycle from the first field's kept value to 7: the print file is written anew.
  terminal.sendKeys("\t");
  terminal.sendKeys("\x19" "7\r");
  ASSERT_TRUE(terminal.waitForText("Confirmeu el llistat (S/N): ", kKeyMs))
      << terminal.screenText();
  confirm(terminal, "S");
  EXPECT_EQ(listingLines(takeListing(terminal)),
            std::vector<std::string>(first.begin(), first.end() - 1));
  const std::string secondPrintFile = readFileBytes(installation.printFile()).value_or("");
  EXPECT_EQ(secondPrintFile.find("012001"), std::string::npos) << secondPrintFile;
  EXPECT_EQ(secondPrintFile.find("DEVICE", 1), std::string::npos) << secondPrintFile;

  // Esc on the first field ends the run: exit code 0, the terminal as it was.
  ASSERT_TRUE(waitForFormAgain(terminal, "Darrera finca: 7   ")) << terminal.screenText();
  terminal.sendKeys("\x1b");
  const int status = terminal.waitForExit(kStartMs);
  ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(terminal.alternateScreen());
  EXPECT_TRUE(terminal.cursorVisible());
  EXPECT_TRUE(sameTerminalSettings(terminal.terminalSettings(), before));

  // The lock is still the holder's: refused to a third process; it goes with its holder.
  ProgramRun refused = runProgram(installation.lockCommand("DepartaV", kLockedApartment, 0));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.errors.find("record locked by another process (status 84)"),
            std::string::npos)
      << refused.errors;
  ASSERT_TRUE(holder.running());
  holder.stop(SIGKILL);
  EXPECT_EQ(runProgram(installation.lockCommand("DepartaV", kLockedApartment, 0)).exitCode, 0);
}

// Each language: the form's labels, the confirmation, and the listing's page word, title and
// column headings, as the language file gives them.
TEST_P(OperatorRun, FormAndListingInEachLanguage) {
  for (const SessionLanguage& language : sessionLanguages()) {
    SCOPED_TRACE(language.code);
    ASSERT_TRUE(installation.useSession(language.code, installation.listing()));
    VtermScreen terminal(25, 80);
    ASSERT_TRUE(start(terminal));
    ASSERT_TRUE(terminal.waitForText(language.fromLabel + "1   ", kStartMs))
        << terminal.screenText();
    EXPECT_TRUE(terminal.contains(language.toLabel + "999 "));
    terminal.sendKeys("\r");
    ASSERT_TRUE(terminal.waitForText(language.answerLabel, kKeyMs)) << terminal.screenText();
    confirm(terminal, "s");
    const std::vector<std::string> lines = listingLines(takeListing(terminal));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], placed({{1, kCompanyName}, {85, language.pageWord + "   1"}}));
    EXPECT_EQ(lines[2].substr(lines[2].find_first_not_of(' ')), language.title + kListedDate);
    EXPECT_EQ(lines[4], placed({{1, language.numberHeading},
                                {11, language.addressHeading},
                                {66, language.rentHeading},
                                {83, language.restHeading}}));
    EXPECT_EQ(lines[6].substr(0, 6), "003001");

    ASSERT_TRUE(waitForFormAgain(terminal, language.toLabel + "999 ")) << terminal.screenText();
    terminal.sendKeys("\x1b");
    const int status = terminal.waitForExit(kStartMs);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(, OperatorRun, ::testing::Values(BackEnd::Files, BackEnd::Postgres),
                         [](const ::testing::TestParamInfo<BackEnd>& run) {
                           return backEndName(run.param);
                         });

#else

TEST(OperatorRun, FormPickRangeListingTwiceAndEsc) { GTEST_SKIP() << "built without libvterm"; }

#endif

}  // namespace
