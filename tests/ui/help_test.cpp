#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "platform/files.h"
#include "ui/help_file.h"
#include "ui/help_source.h"
#include "ui/help_viewer.h"
#include "ui_fixture.h"

namespace fs = std::filesystem;

namespace {

// One help line: the text blank-padded (or cut) to a record of 80 bytes.
std::string record(const std::string& text) {
  std::string line = text.substr(0, 80);
  line.resize(80, ' ');
  return line;
}

// Line n reads "Line nn" and fills the whole record, so that a 77th character would show.
std::string numberedLines(int count) {
  std::string bytes;
  for (int n = 1; n <= count; ++n) {
    std::string text = "Line " + std::to_string(100 + n).substr(1) + " ";
    text.resize(HelpVisibleColumns, '-');
    bytes += text + "XXXX";
  }
  return bytes;
}

// Help text with its switch bytes written as ^ (highlight), _ (underline) and ~ (reverse).
std::string marked(std::string text) {
  for (char& c : text) {
    if (c == '^') c = HelpHighlightSwitch;
    if (c == '_') c = HelpUnderlineSwitch;
    if (c == '~') c = HelpReverseSwitch;
  }
  return text;
}

uint8_t attributeOf(char colour) {
  switch (colour) {
    case 'h':
      return Colour0;
    case 'n':
      return Colour1;
    case 'r':
      return Colour2;
    case 'u':
      return Colour4;
    default:
      return 0;
  }
}

// COMSPEC for one test, put back afterwards.
class ComspecGuard {
 public:
  ComspecGuard() {
    if (const char* value = std::getenv("COMSPEC")) saved_ = value;
  }
  ~ComspecGuard() {
    if (saved_)
      ::setenv("COMSPEC", saved_->c_str(), 1);
    else
      ::unsetenv("COMSPEC");
  }
  void set(const std::string& value) { ::setenv("COMSPEC", value.c_str(), 1); }
  void unset() { ::unsetenv("COMSPEC"); }

 private:
  std::optional<std::string> saved_;
};

}  // namespace

// The help documents are found relative to the current directory: the test's own.
class HelpTest : public UiTest {
 protected:
  HelpTest() : previous_(fs::current_path()) {
    fs::create_directory(dir.file("AJUDA"));
    fs::current_path(dir.path());
  }
  ~HelpTest() override { fs::current_path(previous_); }

  void writeHelp(const std::string& topic, const std::string& bytes) {
    ASSERT_TRUE(writeFileBytes(dir.file("AJUDA/" + topic + ".HLP"), bytes));
  }

  // Runs showHelp; each time it waits for a key with none left, the next steps look at the
  // screen until one queues keys. An Esc follows the last step.
  void runHelp(const std::string& topic, std::vector<std::function<void(MemoryConsole&)>> steps) {
    size_t next = 0;
    screen.setIdleHandler([&](MemoryConsole& console) {
      while (next < steps.size() && console.pendingEvents() == 0) steps[next++](console);
      if (console.pendingEvents() == 0) console.pushKey(KeyEsc);
    });
    showHelp(topic);
    screen.setIdleHandler(nullptr);
    EXPECT_EQ(next, steps.size()) << "the help ended before every step ran";
  }

  // The line shown in interior row `row` (window rows 5 to 21), its 76 columns from screen
  // column 3.
  std::string shown(int16_t row) { return screen.text(static_cast<int16_t>(4 + row), 3, 76); }

  // Numbers of the lines shown in rows 1 to 17 ("Line nn" at their start), 0 for a blank row.
  std::vector<int> shownLines() {
    std::vector<int> lines;
    for (int16_t row = 1; row <= 17; ++row) {
      const std::string text = shown(row);
      lines.push_back(text.rfind("Line ", 0) == 0 ? std::stoi(text.substr(5, 2)) : 0);
    }
    return lines;
  }

  static std::vector<int> range(int first) {
    std::vector<int> lines;
    for (int n = first; n < first + 17; ++n) lines.push_back(n);
    return lines;
  }

 private:
  fs::path previous_;
};

TEST(HelpFile, LineCountRoundsToTheNearestRecord) {
  const std::pair<size_t, int> cases[] = {{0, 0},     {39, 0},    {40, 1},   {80, 1},
                                          {4000, 50}, {4039, 50}, {4040, 51}};
  for (const auto& [size, lines] : cases) {
    SCOPED_TRACE(size);
    EXPECT_EQ(helpLineCount(HelpDocument{std::string(size, 'x'), 80}), lines);
  }
  const HelpDocument shortLast{std::string(80, 'a') + "bc", 80};
  EXPECT_EQ(helpRecord(shortLast, 2), "bc");
  EXPECT_EQ(helpRecord(shortLast, 3), "");
  EXPECT_EQ(helpRecord(shortLast, 0), "");
}

// 50 lines, pages of 17 in the window of rows 4 to 22; each case is a sequence of keys and
// the first line on screen afterwards.
TEST_F(HelpTest, PagesThroughFiftyLines) {
  writeHelp("PISBUITS", numberedLines(50));
  fillPattern();
  const std::string before = snapshot();
  const int16_t colourBefore = currentColour;

  struct Case {
    const char* name;
    std::vector<int16_t> keys;
    int first;
  } cases[] = {
      {"first page", {}, 1},
      {"PgDn", {KeyPgDn}, 18},
      {"PgDn twice stops at the last page", {KeyPgDn, KeyPgDn}, 34},
      {"PgDn on the last page", {KeyEnd, KeyPgDn}, 34},
      {"End", {KeyEnd}, 34},
      {"End then PgUp", {KeyEnd, KeyPgUp}, 18},
      {"End, PgUp, Home", {KeyEnd, KeyPgUp, KeyHome}, 1},
      {"PgUp keeps one line of the page", {KeyPgDn, KeyPgUp}, 2},
      {"PgUp near the top shows the first page", {KeyPgDn, KeyPgUp, KeyPgUp}, 1},
      {"Down", {KeyDown}, 2},
      {"Down three times, Up", {KeyDown, KeyDown, KeyDown, KeyUp}, 3},
      {"Up on the first page", {KeyUp, KeyPgUp, KeyHome}, 1},
      {"Down on the last page", {KeyEnd, KeyDown, KeyEnd}, 34},
      {"End then Up", {KeyEnd, KeyUp}, 33},
      {"other keys", {'x', KeyEnter, KeyLeft, KeyF2, KeyCtrlHome}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> lines;
    runHelp("PISBUITS", {[&](MemoryConsole& console) {
                           for (int16_t key : c.keys) console.pushKey(key);
                         },
                         [&](MemoryConsole& console) {
                           lines = shownLines();
                           // The last interior column stays blank: 76 characters are shown.
                           EXPECT_EQ(console.text(5, 79, 1), " ");
                           EXPECT_EQ(console.cell(4, 1).character, 0xC9);  // double frame
                           EXPECT_EQ(console.cell(22, 80).character, 0xBC);
                           EXPECT_EQ(console.cell(23, 1).character,
                                     static_cast<uint8_t>(before[2 * 22 * 80]));
                         }});
    EXPECT_EQ(lines, range(c.first));
    EXPECT_EQ(firstDifference(snapshot(), before), "");
    EXPECT_EQ(currentColour, colourBefore);
    EXPECT_EQ(windowDepth, 0);
  }
}

// Byte 30 highlights, 31 underlines, 16 reverses; each starts off in colour "n" on every line,
// and switch bytes take no place on screen.
TEST_F(HelpTest, ColourSwitches) {
  struct Case {
    std::string bytes, text, colours;
  } cases[] = {
      {"plain", "plain", "nnnnn"},
      {marked("_Note_ rest"), "Note rest", "uuuunnnnn"},
      {marked("a^b_c^d_e"), "abcde", "nhuun"},  // no highlight change under underline
      {marked("^a_b_c"), "abc", "hun"},         // underline off goes back to "n"
      {marked("~rev~ x"), "rev x", "rrrnn"},
      {marked("^open"), "open", "hhhh"},
      {"next", "next", "nnnn"},  // the line before left highlight on
  };
  std::string bytes;
  for (const Case& c : cases) bytes += record(c.bytes);
  // 76 characters at most, switches not counted.
  bytes += marked("^" + std::string(76, 'A') + "^ZZ");
  writeHelp("PISBUITS", bytes);

  runHelp("PISBUITS", {[&](MemoryConsole& console) {
            for (size_t i = 0; i < std::size(cases); ++i) {
              const Case& c = cases[i];
              SCOPED_TRACE(c.text);
              const auto row = static_cast<int16_t>(5 + i);
              EXPECT_EQ(console.text(row, 3, static_cast<int16_t>(c.text.size())), c.text);
              for (size_t k = 0; k < c.colours.size(); ++k) {
                EXPECT_EQ(console.cell(row, static_cast<int16_t>(3 + k)).attribute,
                          attributeOf(c.colours[k]))
                    << "character " << k + 1;
              }
            }
            const auto last = static_cast<int16_t>(5 + std::size(cases));
            EXPECT_EQ(console.text(last, 2, 78), " " + std::string(76, 'A') + " ");
            EXPECT_EQ(console.cell(last, 78).attribute, Colour0);
          }});
}

// F1 opens the general help over a topic's help once; inside the general help F1 does
// nothing, and Esc goes back to the help below.
TEST_F(HelpTest, F1OpensTheGeneralHelpOnce) {
  writeHelp("PISBUITS", record("Module help"));
  writeHelp("ZORVADAK", record("General help"));
  runHelp("PISBUITS", {
                          [](MemoryConsole& console) {
                            EXPECT_EQ(windowDepth, 1);
                            console.pushKey(KeyF1, ShiftPressed);  // Shift+F1 is another key
                          },
                          [](MemoryConsole& console) {
                            EXPECT_EQ(windowDepth, 1);
                            console.pushKey(KeyF1);
                          },
                          [&](MemoryConsole& console) {
                            EXPECT_EQ(windowDepth, 2);
                            EXPECT_EQ(shown(1).substr(0, 12), "General help");
                            console.pushKey(KeyF1);
                          },
                          [&](MemoryConsole& console) {
                            EXPECT_EQ(windowDepth, 2);
                            console.pushKey(KeyEsc);
                          },
                          [&](MemoryConsole&) {
                            EXPECT_EQ(windowDepth, 1);
                            EXPECT_EQ(shown(1).substr(0, 11), "Module help");
                          },
                      });
  EXPECT_EQ(windowDepth, 0);
  EXPECT_FALSE(fs::exists(stackFile()));

  runHelp(GeneralHelpTopic, {[](MemoryConsole& console) { console.pushKey(KeyF1); },
                             [](MemoryConsole&) { EXPECT_EQ(windowDepth, 1); }});
}

// Keys come straight from the console: type-ahead stays for the field, Alt+X opens no
// calculator and clicks are passed over.
TEST_F(HelpTest, ReadsKeysStraightFromTheConsole) {
  static int calculatorRuns = 0;
  calculatorRuns = 0;
  setHotKeyHandlers(
      [] {
        ++calculatorRuns;
        return std::string("9");
      },
      nullptr);
  writeHelp("PISBUITS", numberedLines(30));
  typeAhead = "12";
  runHelp("PISBUITS", {[](MemoryConsole& console) {
                         console.pushKey(KeyAltX, LeftAltPressed);
                         console.pushMouseClick(10, 10);
                         console.pushKey(KeyDown);
                       },
                       [&](MemoryConsole&) { EXPECT_EQ(shownLines(), range(2)); }});
  EXPECT_EQ(typeAhead, "12");
  EXPECT_EQ(calculatorRuns, 0);
}

// A missing help file and one shorter than a page open an empty or part-filled viewer that
// ignores the paging keys and closes as usual.
TEST_F(HelpTest, MissingOrShortFile) {
  fillPattern();
  const std::string before = snapshot();
  const std::vector<int16_t> paging = {KeyDown, KeyPgDn, KeyEnd, KeyUp, KeyPgUp, KeyHome};
  for (const char* topic : {"NOHIHA", "CURT"}) {
    SCOPED_TRACE(topic);
    if (std::string(topic) == "CURT")
      writeHelp("CURT", numberedLines(3) + record("Line 04").substr(0, 45));
    runHelp(topic, {[&](MemoryConsole& console) {
                      for (int16_t key : paging) console.pushKey(key);
                    },
                    [&](MemoryConsole&) {
                      const std::vector<int> lines = shownLines();
                      const int expectedLines = std::string(topic) == "CURT" ? 4 : 0;
                      for (int row = 0; row < 17; ++row)
                        EXPECT_EQ(lines[row], row < expectedLines ? row + 1 : 0) << row + 1;
                      EXPECT_EQ(shown(17), std::string(76, ' '));
                    }});
    EXPECT_EQ(firstDifference(snapshot(), before), "");
    EXPECT_EQ(windowDepth, 0);
  }
}

// On Windows terminals the HTML help is started as COMSPEC /C QOLPEN AJUDA\topic.HTM, each
// blank-separated word one argument, never through a shell.
TEST_F(HelpTest, ExternalHelpOnWindowsTerminals) {
  ComspecGuard comspec;
  sessionSettings.terminalKind = "WIN";
  const std::string interpreter = dir.file("cmd.exe");
  const std::string argumentsFile = dir.file("arguments");
  ASSERT_TRUE(writeFileBytes(
      interpreter, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argumentsFile + "'\nexit 3\n"));
  ::chmod(interpreter.c_str(), 0755);
  comspec.set(interpreter);

  const std::pair<std::string, std::string> cases[] = {
      {"PISBUITS", "/C\nQOLPEN\nAJUDA\\PISBUITS.HTM\n"},
      {"A  B", "/C\nQOLPEN\nAJUDA\\A\nB.HTM\n"},
      {"X; touch injected", "/C\nQOLPEN\nAJUDA\\X;\ntouch\ninjected.HTM\n"},
      {"$(touch injected)", "/C\nQOLPEN\nAJUDA\\$(touch\ninjected).HTM\n"},
  };
  for (const auto& [topic, arguments] : cases) {
    SCOPED_TRACE(topic);
    fs::remove(argumentsFile);
    const int suspendsBefore = screen.suspendCount();
    showHelp(topic);
    EXPECT_EQ(readFileBytes(argumentsFile).value_or("(not run)"), arguments);
    EXPECT_EQ(screen.suspendCount(), suspendsBefore + 1);
  }
  EXPECT_FALSE(fs::exists(dir.file("injected")));
  EXPECT_EQ(windowDepth, 0);

  // An interpreter that cannot start, or none at all: nothing happens, no viewer either.
  fs::remove(argumentsFile);
  const std::string before = snapshot();
  comspec.set(dir.file("missing.exe"));
  showHelp("PISBUITS");
  comspec.unset();
  showHelp("PISBUITS");
  EXPECT_TRUE(externalHelpCommand("PISBUITS").empty());
  EXPECT_EQ(firstDifference(snapshot(), before), "");
  EXPECT_EQ(screen.exhaustedWaits(), 0) << "no key is waited for";
  EXPECT_FALSE(fs::exists(argumentsFile));
}

TEST(HelpSource, BuildsRecordsAndPage) {
  std::string records, page, problem;
  const std::string source = "a **b** __c__ ~~d~~ \xC3\xA9 & <x>\r\n\nend\n";
  ASSERT_TRUE(buildHelpRecords(source, 80, records, problem)) << problem;
  EXPECT_EQ(records, record(marked("a ^b^ _c_ ~d~ \x82 & <x>")) + record("") + record("end"));

  ASSERT_TRUE(buildHelpPage(source, page, problem)) << problem;
  EXPECT_NE(page.find("<title>a b c d &#233; &amp; &lt;x&gt;</title>\r\n"), std::string::npos);
  EXPECT_NE(page.find("\r\na <span class=\"h\">b</span> <span class=\"u\">c</span> "
                      "<span class=\"r\">d</span> &#233; &amp; &lt;x&gt;\r\n\r\nend\r\n</pre>"),
            std::string::npos);
  for (char byte : page) ASSERT_LT(static_cast<uint8_t>(byte), 128) << "not plain ASCII";
}

TEST(HelpSource, RefusesLinesTheViewerCannotShow) {
  const std::pair<std::string, std::string> cases[] = {
      {"ok\n**open", "line 2: ** is not closed"},
      {std::string(77, 'x'), "line 1: 77 visible characters"},
      {"**a** __b__ ~~c~~" + std::string(71, 'x'), "line 1: 82 bytes"},
      {"tab\there", "line 1: U+0009"},
      {"arrow \xE2\x86\x92", "line 1: U+2192"},  // the console glyph of byte 26
      {"check \xE2\x9C\x93", "line 1: U+2713"},
      {"bad \xC3", "line 1: not UTF-8"},
      {"overlong \xC0\xAF", "line 1: not UTF-8"},
  };
  for (const auto& [source, expected] : cases) {
    SCOPED_TRACE(source);
    std::string records, problem;
    EXPECT_FALSE(buildHelpRecords(source, 80, records, problem));
    EXPECT_EQ(problem.rfind(expected, 0), 0u) << problem;
  }
}

// dist/AJUDA holds exactly what tools/make-help makes of docs/help-source, for every source;
// and the module's help and the general help are among them.
TEST(HelpSource, DistributedDocumentsMatchTheirSources) {
  const fs::path sources = fs::path(sourceDir()) / "docs" / "help-source";
  const fs::path dist = fs::path(sourceDir()) / "dist" / "AJUDA";
  std::vector<std::string> topics;
  for (const auto& entry : fs::directory_iterator(sources)) {
    const std::string topic = entry.path().stem().string();
    SCOPED_TRACE(topic);
    topics.push_back(topic);
    const std::string source = readFileBytes(entry.path().string()).value_or("");
    std::string records, page, problem;
    ASSERT_TRUE(buildHelpRecords(source, 80, records, problem)) << problem;
    ASSERT_TRUE(buildHelpPage(source, page, problem)) << problem;
    EXPECT_EQ(readFileBytes((dist / (topic + ".HLP")).string()), records);
    EXPECT_EQ(readFileBytes((dist / (topic + ".HTM")).string()), page);
  }
  std::sort(topics.begin(), topics.end());
  EXPECT_EQ(topics, (std::vector<std::string>{"PISBUITS", GeneralHelpTopic}));
}
