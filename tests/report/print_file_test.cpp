#include "report/print_file.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <functional>

#include "core/session_settings.h"
#include "paths.h"
#include "platform/files.h"

namespace {

class PrintFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetPrintFileState();
    resetSessionSettings();
    sessionSettings.tempDir = dir.path() + "\\";  // the module's own style of name
  }
  void TearDown() override { resetPrintFileState(); }

  std::string contents() { return readFileBytes(dir.file("zideruva.tmp")).value_or("<none>"); }

  TempDir dir;
};

struct WriterCase {
  const char* name;
  std::function<void()> calls;
  std::string expected;  // after the device line
};

TEST_F(PrintFileTest, WritesEachKindOfLine) {
  const WriterCase cases[] = {
      {"nothing printed", [] {}, ""},
      {"page", [] { startPage(66); }, "PAGE 66 \r\n"},
      {"negative page", [] { startPage(-5); }, "PAGE-5 \r\n"},
      {"control", [] { printControl("@e"); }, "*@e\r\n"},
      {"text", [] { startPage(66); printAt(1, "ABC", 0); }, "PAGE 66 \r\n 1 ,ABC, 0 \r\n"},
      {"negative column, commas kept",
       [] { startPage(66); printAt(-3, "A,B", 2); }, "PAGE 66 \r\n-3 ,A,B, 2 \r\n"},
      {"control characters become blanks",
       [] { startPage(9); printAt(85, std::string("a\tb\rc\nd\x7F" "e\xFF" "f\x00g", 13), 1); },
       "PAGE 9 \r\n 85 ,a b c d e f g, 1 \r\n"},
      {"code page 850 text kept", [] { startPage(66); printAt(11, "ADRE\x80" "A \xB7", 0); },
       "PAGE 66 \r\n 11 ,ADRE\x80" "A \xB7, 0 \r\n"},
  };
  for (const WriterCase& c : cases) {
    SCOPED_TRACE(c.name);
    resetPrintFileState();
    ASSERT_TRUE(openPrintFile("LPT1"));
    c.calls();
    EXPECT_TRUE(closePrintFile());
    EXPECT_EQ(contents(), "DEVICELPT1\r\n" + c.expected);
  }
}

TEST_F(PrintFileTest, CallerTextIsNotChanged) {
  ASSERT_TRUE(openPrintFile(""));
  startPage(66);
  const std::string text = "a\tb";
  std::string copy = text;
  printAt(1, copy, 0);
  EXPECT_EQ(copy, text);
  EXPECT_TRUE(closePrintFile());
  EXPECT_EQ(contents(), "DEVICE\r\nPAGE 66 \r\n 1 ,a b, 0 \r\n");
}

TEST_F(PrintFileTest, JustificationCodes) {
  const std::pair<const char*, const char*> cases[] = {
      {"D", "JUSD"},          {" r ", "JUSD"},       {"right", "JUSD"},
      {"c", "JUSC"},          {"A", "JUSA"},         {"b", "JUSA"},
      {"x", "JUSE"},          {"", "JUSE"},          {"   ", "JUSE"},
      {"e", "JUSE"},          {"N12\\LOGO\\X\\", "JUSN 12 \\LOGO\\"},
      {" n -3.7 \\a\\", "JUSN 3 \\a\\"},            {"N", "JUSN 0 "},
      {"N5 \\open", "JUSN 5 \\open"},                {"N007", "JUSN 7 "},
  };
  for (const auto& [setting, line] : cases) {
    SCOPED_TRACE(setting);
    resetPrintFileState();
    ASSERT_TRUE(openPrintFile(""));
    setJustification(setting);
    ASSERT_TRUE(closePrintFile());
    EXPECT_EQ(contents(), std::string("DEVICE\r\n") + line + "\r\n");
  }
}

TEST_F(PrintFileTest, FullPageStartsANewPageOfTheSameLength) {
  ASSERT_TRUE(openPrintFile(""));
  startPage(3);
  printAt(1, "a", 0);
  EXPECT_EQ(printFileState.linesOnPage, 0);
  printAt(1, "b", 2);
  EXPECT_EQ(printFileState.linesOnPage, 2);
  printAt(1, "c", 1);  // one below the length: no break
  EXPECT_EQ(printFileState.linesOnPage, 3);
  printAt(1, "d", 1);  // equal: a new page first
  EXPECT_EQ(printFileState.linesOnPage, 1);
  EXPECT_EQ(printFileState.pageLength, 3);
  ASSERT_TRUE(closePrintFile());
  EXPECT_EQ(contents(),
            "DEVICE\r\nPAGE 3 \r\n 1 ,a, 0 \r\n 1 ,b, 2 \r\n 1 ,c, 1 \r\n"
            "PAGE 3 \r\n 1 ,d, 1 \r\n");
}

TEST_F(PrintFileTest, OpeningKeepsTheCountersAndTruncates) {
  ASSERT_TRUE(openPrintFile("A"));
  startPage(66);
  printAt(1, "old line", 4);
  ASSERT_TRUE(closePrintFile());

  ASSERT_TRUE(openPrintFile("B"));
  EXPECT_EQ(printFileState.linesOnPage, 4);
  EXPECT_EQ(printFileState.pageLength, 66);
  ASSERT_TRUE(closePrintFile());
  EXPECT_EQ(contents(), "DEVICEB\r\n");
}

// A print file that cannot be made or written must not pass for a complete listing.
TEST_F(PrintFileTest, FailuresAreReportedWithTheSystemsReason) {
  struct Case {
    const char* name;
    std::function<void(const TempDir&)> prepare;
    bool opens;
    std::string reason;
  };
  const Case cases[] = {
      {"missing directory",
       [](const TempDir& d) { sessionSettings.tempDir = d.file("absent") + "/"; }, false,
       "No such file or directory"},
      {"disk full",
       [](const TempDir& d) {
         ASSERT_EQ(::symlink("/dev/full", d.file("zideruva.tmp").c_str()), 0);
       },
       true, "No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetPrintFileState();
    sessionSettings.tempDir = dir.path() + "/";
    c.prepare(dir);
    EXPECT_EQ(openPrintFile("PANTALLA"), c.opens);
    startPage(66);
    for (int i = 0; i < 2000; ++i) printAt(1, std::string(90, 'x'), 1);
    EXPECT_FALSE(closePrintFile());
    EXPECT_EQ(printFileFailureReason(), c.reason);
    EXPECT_EQ(printFileState.fileName, sessionSettings.tempDir + "zideruva.tmp");
  }
}

TEST_F(PrintFileTest, FileHeldByAnotherUserIsNeitherCutNorReported) {
  ASSERT_TRUE(writeFileBytes(dir.file("zideruva.tmp"), "DEVICE\r\nbeing read\r\n"));
  int holder = ::open(dir.file("zideruva.tmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);

  EXPECT_FALSE(openPrintFile(""));
  EXPECT_FALSE(printFileFailureReason().empty());
  EXPECT_FALSE(closePrintFile());
  EXPECT_EQ(contents(), "DEVICE\r\nbeing read\r\n");
  ::close(holder);

  EXPECT_TRUE(openPrintFile(""));
  EXPECT_TRUE(closePrintFile());
  EXPECT_EQ(printFileFailureReason(), "");
}

}  // namespace
