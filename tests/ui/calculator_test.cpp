#include "ui/calculator.h"

#include <gtest/gtest.h>

#include <vector>

#include "locale/numeric_picture.h"
#include "platform/files.h"
#include "ui/field_editor.h"
#include "ui/pop_ups.h"
#include "ui_fixture.h"

namespace {

constexpr char Bar = '\xB3';

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A number as shown, without the blanks between its sign place and its digits.
std::string shownNumber(const std::string& text) {
  std::string number;
  for (char c : text) {
    if (c != ' ') number += c;
  }
  return number;
}

std::vector<int16_t> charKeys(const std::string& chars) {
  std::vector<int16_t> keys;
  for (char c : chars) keys.push_back(static_cast<uint8_t>(c));
  return keys;
}

// The state file of a calculator at column `column` holding the total and pending step.
std::string stateFile(int column, const std::string& line1Rest, const std::string& pending) {
  return std::to_string(column) + "," + line1Rest + "\r\n0,0,0,0\r\n\"\",\"" + pending + "\"\r\n";
}

}  // namespace

class CalculatorTest : public UiTest {
 protected:
  CalculatorTest() {
    sessionSettings.terminalDir = dir.path() + "/";
    sessionSettings.rootDir = dir.path() + "/";
    resetNumberSettings();
    numberSettings.loaded = true;
    numberSettings.decimalChar = '.';
    numberSettings.thousandsChar = ',';
    resetFieldEditor();
    resetCalculatorState();
  }
  ~CalculatorTest() override {
    resetNumberSettings();
    resetFieldEditor();
    resetCalculatorState();
  }

  // What the strip showed once the keys were used up, and what the calculator returned.
  struct Run {
    std::string result;
    std::string display;            // the number on the display line
    std::vector<std::string> tape;  // the tape lines shown, oldest first
    int16_t column = 0;             // where the strip stood
    int beeps = 0;
  };

  // Types the keys into a fresh opening of the calculator, reads the strip when they are
  // used up, then presses `last` (Esc after it, should the calculator still run).
  Run run(const std::vector<int16_t>& keys, int16_t last = KeyEsc) {
    Run seen;
    bool looked = false;
    screen.setIdleHandler([&](MemoryConsole& console) {
      if (!looked) {
        looked = true;
        seen = readStrip();
        console.pushKey(last);
      } else {
        console.pushKey(KeyEsc);
      }
    });
    for (int16_t key : keys) screen.pushKey(key);
    seen.result = runCalculator();
    screen.setIdleHandler(nullptr);
    return seen;
  }
  Run run(const std::string& chars, int16_t last = KeyEsc) { return run(charKeys(chars), last); }

  Run readStrip() {
    Run seen;
    for (int16_t column = 1; column <= 80; ++column) {
      if (screen.text(24, column, 1)[0] == Bar && screen.text(24, column + 25, 1)[0] == Bar) {
        seen.column = column;
        break;
      }
    }
    if (seen.column == 0) return seen;
    seen.display = shownNumber(screen.text(24, seen.column + 1, 22));
    EXPECT_EQ(screen.text(24, seen.column + 23, 2), "  ");
    for (int16_t row = 2; row <= 22; ++row) {
      if (screen.text(row, seen.column, 1)[0] != Bar) continue;
      EXPECT_EQ(screen.text(row, seen.column + 23, 1), " ");
      seen.tape.push_back(trimmed(shownNumber(screen.text(row, seen.column + 1, 22)) + " " +
                                  screen.text(row, seen.column + 24, 1)));
    }
    seen.beeps = screen.beepCount();
    return seen;
  }

  std::string stateFileName() const { return dir.file("KIVCALC.TMP"); }
  void writeState(const std::string& bytes) { ASSERT_TRUE(writeFileBytes(stateFileName(), bytes)); }
};

TEST_F(CalculatorTest, KeySequencesGiveTheirTapeAndDisplay) {
  const std::string bang(22, '!');
  struct Case {
    const char* keys;
    std::string display;
    std::vector<std::string> tape;
    int beeps;
  } cases[] = {
      {"200+10%=", "220", {"200 +", "10 %", "20 =", "220"}, 0},
      {"7/2=", "3.5", {"7 /", "2 =", "3.5"}, 0},
      {"3\r", "3", {"3 =", "3"}, 0},  // Enter as =
      {"=\r", "0", {}, 0},            // nothing typed: nothing to settle
      {"0.1+0.2=", "0.3", {"0.1 +", "0.2 =", "0.3"}, 0},
      {"2/3=", "0.666666666666667", {"2 /", "3 =", "0.666666666666667"}, 0},
      // 15 significant digits for a negative total as for a positive one
      {"1000T/3=", "-333.333333333333", {"-1,000 /", "3 =", "-333.333333333333"}, 0},
      {"10.05R", "10.05", {"10.05 R"}, 0},
      {"0.125R", "0.12", {"0.12 R"}, 0},  // an exact half goes to the even hundredth
      {"0.375R", "0.38", {"0.38 R"}, 0},
      {"1.015R", "1.02", {"1.02 R"}, 0},     // still a half after the binary arithmetic
      {"0.126TR", "-0.13", {"-0.13 R"}, 0},  // negative values rounded, not cut
      {"0.125TR", "-0.12", {"-0.12 R"}, 0},
      {"5.", "5.", {}, 0},
      {"12.34\b\b", "12.", {}, 0},
      {"12.34\b\b\b", "12", {}, 0},
      {"7\b", "0", {}, 0},
      {"5T", "-5", {}, 0},
      {"100+5C", "100", {"100 +"}, 0},             // clear entry
      {"100+5CC", "0", {"100 +"}, 0},              // clear all
      {"100+5CCC", "0", {}, 0},                    // clear the tape view
      {"100*C3=", "3", {"100 *", "3 =", "3"}, 0},  // clear all drops the pending step
      {"1/0=", "0", {"1 /"}, 1},                   // division by zero refused, nothing changed
      {"12345678901234567", "12345678901234568", {}, 0},            // too wide for the separators
      {"12345678901234567890123", bang, {}, 0},                     // too wide for the display
      {"0.000000000000000000001", ".00000000000000000000", {}, 1},  // no room for a 21st decimal
  };
  for (const Case& c : cases) {
    resetCalculatorState();
    removeFile(stateFileName());
    const int beepsBefore = screen.beepCount();
    const Run seen = run(c.keys);
    EXPECT_EQ(seen.display, c.display) << c.keys;
    EXPECT_EQ(seen.tape, c.tape) << c.keys;
    EXPECT_EQ(seen.beeps - beepsBefore, c.beeps) << c.keys;
    EXPECT_EQ(seen.result, "") << c.keys;
  }
}

TEST_F(CalculatorTest, AcceptingGivesTheValueTimesAHundred) {
  struct Case {
    const char* keys;
    int16_t accept;
    std::string result;
  } cases[] = {
      {"7/2=", 'F', "350"},   {"0.58/2=", 'F', "29"},  // 28.999... rounded, not cut
      {"12.5", 'f', "1250"},  {"1.234", KeyAltF, "123.4"}, {"0.001", 'F', "0.1"},
      {"", 'F', "0"},         {"5T", 'F', "500"},  // without its sign
      {"100+5", 'F', "500"},                       // the entry while one is typed
      {"100+", 'F', "10000"},                      // else the total
  };
  for (const Case& c : cases) {
    resetCalculatorState();
    removeFile(stateFileName());
    EXPECT_EQ(run(c.keys, c.accept).result, c.result) << c.keys;
  }
}

TEST_F(CalculatorTest, OverflowIsRefusedAndHugeTotalsStillGiveText) {
  writeState(stateFile(1, "23,0,1e300", "*"));
  const Run seen = run("10000000000=", 'F');
  EXPECT_EQ(seen.beeps, 1);
  EXPECT_EQ(seen.display, "10,000,000,000");  // the entry stays as typed
  EXPECT_EQ(seen.tape, std::vector<std::string>{});
  EXPECT_EQ(seen.result, "1000000000000");  // the entry x 100
  EXPECT_EQ(calculatorState.accumulator, 1e300);

  writeState(stateFile(1, "23,0,1e300", "*"));
  const std::string total = run("", 'F').result;  // |1e300| x 100 in digits
  EXPECT_EQ(total.size(), 303u);
  EXPECT_EQ(total.find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(CalculatorTest, ArrowsSlideTheStripAndWrapAtTheEdges) {
  struct Case {
    int column;
    uint16_t held;
    int16_t key;
    int16_t expected;
  } cases[] = {
      {1, 0, KeyLeft, 55},
      {55, 0, KeyRight, 1},
      {30, 0, KeyRight, 31},
      {30, LeftCtrlPressed, KeyLeft, 29},
      {54, LeftCtrlPressed, KeyRight, 55},
  };
  fillPattern();
  const std::string before = snapshot();
  for (const Case& c : cases) {
    writeState(stateFile(c.column, "23,0,0", ""));
    screen.pushKey(c.key, c.held);
    const Run seen = run(std::vector<int16_t>{});
    EXPECT_EQ(seen.column, c.expected) << c.column;
    EXPECT_EQ(firstDifference(snapshot(), before), "") << c.column;
    EXPECT_EQ(parseCalculatorState(readFileBytes(stateFileName()).value()).calcColumn, c.expected);
  }
}

TEST_F(CalculatorTest, StateIsKeptAcrossOpeningsInItsFile) {
  const Run first = run("200+");
  EXPECT_EQ(first.display, "200");
  std::string expected = "1,22,200,200\r\n0,0,0,0\r\n\"\x1b\",\"+\"\r\n";
  for (int entry = 1; entry < 22; ++entry) expected += "0,0,0,\" \"\r\n";
  expected += "200,0,0,\"+\"\r\n";
  EXPECT_EQ(readFileBytes(stateFileName()).value_or("missing"), expected);

  resetCalculatorState();
  const Run second = run("5=");
  EXPECT_EQ(second.display, "205");
  EXPECT_EQ(second.tape, (std::vector<std::string>{"200 +", "5 =", "205"}));
}

TEST_F(CalculatorTest, TheTapeShowsTwentyOneLinesAndKeepsTheLastTwentyTwo) {
  std::string keys;
  for (int i = 1; i <= 25; ++i) keys += std::to_string(i) + "+";
  const Run seen = run(keys);
  ASSERT_EQ(seen.tape.size(), 21u);
  EXPECT_EQ(seen.tape.front(), "5 +");
  EXPECT_EQ(seen.tape.back(), "25 +");
  EXPECT_EQ(calculatorState.calcTape[0].value, 4);  // stored, never shown
  EXPECT_EQ(calculatorState.tapeFirstRow, 2);
}

TEST_F(CalculatorTest, StateFileFieldsOutOfRangeTakeTheirFirstUseValues) {
  const CalculatorState firstUse;
  struct Case {
    const char* name;
    std::string bytes;
  } damaged[] = {
      {"empty", ""},
      {"out of range", "0,24,abc,1e999\r\n1,2,3,-1\r\n\"toolong\",\"x\"\r\n"},
      {"too far", "56,1,inf,nan\r\n-2,7,1,21\r\n"},
      {"commas only", ",,,,,,,,,,,,,,,,,,,"},
      {"open quote", "\"1,23,5"},
      {"line ends only", "\r\n\n\r\r\n"},
      {"signs", "+5,+22,+1,-\r\n"},
      {"noise", std::string("\x00\xff\"\"\"\x01,\r\x80", 9)},
  };
  for (const Case& c : damaged) EXPECT_EQ(parseCalculatorState(c.bytes), firstUse) << c.name;

  const CalculatorState read =
      parseCalculatorState("55,2,1.5,-2.25\r\n0,-1,-1,20\r\n\"5\",\"/\"\r\n3.5,-1,1,\"=\"");
  EXPECT_EQ(read.calcColumn, 55);
  EXPECT_EQ(read.tapeFirstRow, 2);
  EXPECT_EQ(read.entryValue, 1.5);
  EXPECT_EQ(read.accumulator, -2.25);
  EXPECT_EQ(read.clearArmed, 0);
  EXPECT_EQ(read.entryActive, -1);
  EXPECT_EQ(read.entryHasPoint, -1);
  EXPECT_EQ(read.entryDecimals, 20);
  EXPECT_EQ(read.currentOp, "5");
  EXPECT_EQ(read.pendingOp, "/");
  EXPECT_EQ(read.calcTape[0], (CalcTapeEntry{3.5, -1, 1, '='}));
  EXPECT_EQ(read.calcTape[1], CalcTapeEntry{});
}

TEST_F(CalculatorTest, StateFileRoundTripsAndIgnoresTapeBeyondTwentyTwo) {
  CalculatorState state;
  state.calcColumn = 17;
  state.tapeFirstRow = 9;
  state.entryValue = 1.0 / 3;
  state.accumulator = -1e300;
  state.clearArmed = 0;
  state.entryActive = -1;
  state.entryHasPoint = -1;
  state.entryDecimals = 15;
  state.currentOp = std::string("\0!", 2);  // Alt+F
  state.pendingOp = "-";
  state.calcTape[0] = {-0.1, -1, 1, '%'};
  state.calcTape[20] = {5e-324, 0, 0, ','};
  state.calcTape[21] = {123456789012345.0, 0, 0, ' '};
  EXPECT_EQ(parseCalculatorState(calculatorStateText(state)), state);
  state.currentOp = "\r";  // Enter
  EXPECT_EQ(parseCalculatorState(calculatorStateText(state)), state);

  std::string bytes = "1,23,0,0\r\n-1,0,0,0\r\n\"\",\"\"\r\n";
  for (int group = 1; group <= 30; ++group) bytes += std::to_string(group) + ",0,0,\"+\"\r\n";
  const CalculatorState read = parseCalculatorState(bytes);
  EXPECT_EQ(read.calcTape[0].value, 1);
  EXPECT_EQ(read.calcTape[21].value, 22);
}

TEST_F(CalculatorTest, MissingOrDamagedFileStartsAsAtFirstUse) {
  EXPECT_EQ(loadCalculatorState(), CalculatorState{});
  EXPECT_EQ(readFileBytes(stateFileName()).value_or("missing"), "");  // created empty

  writeState("80,99,x\r\n\x01\x02\r\n\"");
  const Run seen = run("1+1=");
  EXPECT_EQ(seen.column, 1);
  EXPECT_EQ(seen.display, "2");
  EXPECT_EQ(seen.tape, (std::vector<std::string>{"1 +", "1 =", "2"}));
}

TEST_F(CalculatorTest, LeavingGivesBackColourExitKeysAndCursor) {
  setEditKeys("+ea", "d,1b");
  const std::string formKeys = exitKeyCodes;
  setColour("+rh");
  const int16_t colour = currentColour;
  const std::string colours = colourStack;
  fillPattern();
  const std::string before = snapshot();
  for (int16_t accept : std::vector<int16_t>{KeyEsc, 'F'}) {
    run("7+", accept);
    EXPECT_EQ(firstDifference(snapshot(), before), "");
    EXPECT_EQ(exitKeyCodes, formKeys);
    EXPECT_EQ(savedExitKeys.size(), 1u);
    EXPECT_EQ(currentColour, colour);
    EXPECT_EQ(colourStack, colours);
    EXPECT_TRUE(screen.cursorVisible());
    EXPECT_EQ(windowDepth, 0);
  }
}

TEST_F(CalculatorTest, AltXDuringAnEditTypesTheResultIntoThatField) {
  registerPopUpHotKeys();
  setEditKeys("+ea", "d,1b");  // the form's exit keys: Enter and Esc
  const std::string formKeys = exitKeyCodes;
  screen.pushKey(KeyAltX, LeftAltPressed);
  screen.pushChars("7/2=F");
  screen.pushKey(KeyEnter);
  std::string text(10, ' ');
  int16_t position = 1, key = 0;
  editField(5, 10, 0, text, position, key);
  EXPECT_EQ(text, "350       ");
  EXPECT_EQ(key, KeyEnter);
  EXPECT_EQ(exitKeyCodes, formKeys);
  EXPECT_EQ(calculatorOpen, 0);
}
