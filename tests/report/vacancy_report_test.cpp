// The listing of vacant apartments written from small installations made with kivdata, byte
// for byte against the expected print files of tests/fixtures/report, and the hand-off to
// the print program with its two failure messages.
#include "report/vacancy_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/session_settings.h"
#include "locale/packed_digits.h"
#include "platform/files.h"
#include "platform/memory_console.h"
#include "recman/record_manager.h"
#include "report/print_file.h"
#include "report_installation.h"
#include "ui/form_range.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

namespace {

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setConsole(&screen);
    resetScreenState();
    resetWindowStack();
    resetKeyboardState();
  }
  void TearDown() override {
    resetWindowStack();
    resetKeyboardState();
    resetScreenState();
    setConsole(nullptr);
  }

  void install(const std::string& caseName) {
    std::string problem;
    ASSERT_TRUE(buildInstallation(caseName, root.path(), problem)) << problem;
  }
  std::string printFile() const {
    return readFileBytes(root.file("SESSIO/zideruva.tmp")).value_or("<no print file>");
  }

  TempDir root;
  MemoryConsole screen;
};

struct GoldenCase {
  const char* name;
  const char* from;  // the range as typed on the form
  const char* to;
};

class GoldenListingTest : public ReportTest, public ::testing::WithParamInterface<GoldenCase> {};

// basic: range 5 to 1234 (property 3 before it, 1235 after it, 1234 on its bound), an
//   occupied apartment, a property without apartments, an apartment whose property is not
//   on file, the "P" and "p" address flags, concept kinds 0, 1, 2 and -1, fixed concept 7
//   against extra codes 7, 107 and 112, a concept missing from TVRebut, negative amounts,
//   property 1234 apartment 5;
// pages: 56 vacant apartments, the 56th on page 2, no company name, no concept on file;
// empty: no vacant apartment in the range, no output device: the device line alone;
// spa:   Spanish headings from the language file, ADRE\x80A missing from it (an entry in
//   another code page does not match), date order and number characters of Quon.ini.
// Each runs two cycles: the second rewrites the file and starts again at page 1.
TEST_P(GoldenListingTest, ListingMatchesTheExpectedPrintFile) {
  const GoldenCase& c = GetParam();
  install(c.name);
  ReportSession session(root.path());
  rangeFrom = packCode(c.from);
  rangeTo = packCode(c.to);
  std::string expected = readFileBytes(reportFixture(c.name, "zideruva.tmp")).value_or("");
  ASSERT_FALSE(expected.empty());
  for (int cycle = 1; cycle <= 2; ++cycle) {
    writeVacancyListing();
    EXPECT_TRUE(reportState.listingWritten) << "cycle " << cycle;
    EXPECT_EQ(reportState.scanFailureStatus, 0) << "cycle " << cycle;
    EXPECT_EQ(firstLineDifference(printFile(), expected), "") << "cycle " << cycle;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenListingTest,
                         ::testing::Values(GoldenCase{"basic", "5", "1234"},
                                           GoldenCase{"pages", "1", "999"},
                                           GoldenCase{"empty", "1", "2"},
                                           GoldenCase{"spa", "1", "999"}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// A damaged apartment record ends its property's apartments as the end of the file would;
// the scan goes on with the next property, and the failure is kept for the message.
TEST_F(ReportTest, DamagedRecordCutsItsPropertyShortAndIsKept) {
  install("basic");
  ASSERT_TRUE(damageApartmentRecord(root.path(), 7, 1));
  ReportSession session(root.path());
  rangeFrom = packCode("5");
  rangeTo = packCode("1234");
  writeVacancyListing();

  EXPECT_EQ(reportState.scanFailureFileId, 507);
  EXPECT_EQ(reportState.scanFailureStatus, RecordStatus::IoError);
  EXPECT_TRUE(reportState.listingWritten);
  std::string expected = readFileBytes(reportFixture("basic", "zideruva.tmp")).value_or("");
  size_t lost = expected.find(" 1 ,007001, 0 \r\n");
  ASSERT_NE(lost, std::string::npos);
  expected.erase(lost, expected.find(" 1 ,008001, 0 \r\n") - lost);
  EXPECT_EQ(firstLineDifference(printFile(), expected), "");
}

// The words of the screen's rows in order, frame characters dropped.
std::vector<std::string> screenWords(MemoryConsole& console) {
  std::vector<std::string> words;
  for (int16_t row = 1; row <= console.bufferRows(); ++row) {
    std::string word;
    for (char c : console.rowText(row) + " ") {
      uint8_t byte = static_cast<uint8_t>(c);
      bool separator = c == ' ' || byte == 0xB3 || byte == 0xC4 || byte == 0xDA || byte == 0xBF ||
                       byte == 0xC0 || byte == 0xD9;
      if (!separator) {
        word += c;
      } else if (!word.empty()) {
        words.push_back(word);
        word.clear();
      }
    }
  }
  return words;
}

bool containsWords(const std::vector<std::string>& words, const std::string& text) {
  std::vector<std::string> wanted;
  std::string word;
  for (char c : text + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      wanted.push_back(word);
      word.clear();
    }
  }
  for (size_t i = 0; i + wanted.size() <= words.size(); ++i)
    if (std::equal(wanted.begin(), wanted.end(), words.begin() + i)) return true;
  return false;
}

struct HandOverCase {
  const char* name;
  bool damaged;            // DepartaV holds a damaged record
  bool missingSessionDir;  // the print file cannot be created
  const char* language;
  std::string (*message)(const std::string& root);  // expected message, "" for none
  bool programStarts;
  mode_t programMode = 0755;  // 0: no print program at all
};

// The print program is a script that leaves a mark; every case checks whether it ran, and
// that no message was still waiting when it did.
TEST_F(ReportTest, HandOverShowsFailuresAndStartsThePrintProgramOnlyWithAListing) {
  const HandOverCase cases[] = {
      {"complete listing", false, false, "CAT", [](const std::string&) { return std::string(); },
       true},
      {"incomplete listing", true, false, "CAT",
       [](const std::string& r) {
         return "LLISTAT INCOMPLET: ERROR 2 EN LLEGIR " + r + "/DADES\\DepartaV";
       },
       true},
      {"incomplete listing in Spanish", true, false, "SPA",
       [](const std::string& r) {
         return "LISTADO INCOMPLETO: ERROR 2 AL LEER " + r + "/DADES\\DepartaV";
       },
       true},
      {"print file not created", false, true, "CAT",
       [](const std::string& r) {
         return "NO ES POT ESCRIURE EL LLISTAT A " + r +
                "/NOWHERE/zideruva.tmp (No such file or directory)";
       },
       false},
      {"print program missing", false, false, "CAT",
       [](const std::string& r) {
         return "NO ES POT EXECUTAR " + r + "/bin/ZIDERUVA (No such file or directory)";
       },
       false, 0},
      {"print program not executable, in Spanish", false, false, "SPA",
       [](const std::string& r) {
         return "NO SE PUEDE EJECUTAR " + r + "/bin/ZIDERUVA (Permission denied)";
       },
       false, 0644},
  };
  for (const HandOverCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Without a session directory the message window cannot give its cells back.
    screen.clear();
    TempDir place;
    std::string problem;
    ASSERT_TRUE(buildInstallation("basic", place.path(), problem)) << problem;
    if (c.damaged) {
      ASSERT_TRUE(damageApartmentRecord(place.path(), 7, 1));
    }
    std::string mark = place.file("ran");
    ASSERT_EQ(::mkdir(place.file("bin").c_str(), 0777), 0);
    if (c.programMode != 0) {
      ASSERT_TRUE(
          writeFileBytes(place.file("bin/ZIDERUVA"), "#!/bin/sh\n: > '" + mark + "'\n"));
      ASSERT_EQ(::chmod(place.file("bin/ZIDERUVA").c_str(), c.programMode), 0);
    }

    ReportSession session(place.path());
    sessionSettings.exeDir = place.path() + "/bin/";
    sessionSettings.languageCode = c.language;
    if (c.missingSessionDir) sessionSettings.tempDir = place.path() + "/NOWHERE/";
    rangeFrom = packCode("1");
    rangeTo = packCode("9999");
    int waits = 0;
    bool shownBeforeProgram = false, messageShown = false;
    std::string shownText;
    std::string expectedMessage = c.message(place.path());
    screen.setIdleHandler([&](MemoryConsole& console) {
      ++waits;
      messageShown = containsWords(screenWords(console), expectedMessage);
      shownText = console.screenText();
      shownBeforeProgram = !fileExists(mark);
      console.pushKey(KeyEnter);
    });
    writeVacancyListing();
    handOverListing();
    screen.setIdleHandler(nullptr);

    if (expectedMessage.empty()) {
      EXPECT_EQ(waits, 0);
    } else {
      EXPECT_EQ(waits, 1);
      EXPECT_TRUE(messageShown) << shownText;
      EXPECT_TRUE(shownBeforeProgram);
      EXPECT_EQ(windowDepth, 0);  // the message window is gone
    }
    EXPECT_EQ(fileExists(mark), c.programStarts);
  }
}

}  // namespace
