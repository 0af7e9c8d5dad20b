#include "ui/field_editor.h"

#include <gtest/gtest.h>

#include <vector>

#include "locale/text_helpers.h"
#include "ui_fixture.h"

namespace {

// One scripted input: a key as the console delivers it (plain code and control keys
// held), or a left click when clickRow is set.
struct Stroke {
  int16_t code = 0;
  uint16_t controlKeys = 0;
  int16_t clickRow = 0, clickCol = 0;
  Stroke(int key, uint16_t held = 0) : code(static_cast<int16_t>(key)), controlKeys(held) {}
};

Stroke Click(int16_t row, int16_t col) {
  Stroke s(0);
  s.clickRow = row;
  s.clickCol = col;
  return s;
}

const Stroke CtrlLeft{KeyLeft, LeftCtrlPressed}, CtrlRight{KeyRight, LeftCtrlPressed},
    CtrlHome{KeyHome, LeftCtrlPressed}, AltF4{KeyF4, RightAltPressed},
    CtrlF4{KeyF4, LeftCtrlPressed};

constexpr int16_t FieldRow = 5, FieldCol = 10;

std::string keyCodes(std::initializer_list<uint16_t> keys) {
  std::string bytes;
  for (uint16_t key : keys) {
    bytes += static_cast<char>(key & 0xFF);
    bytes += static_cast<char>(key >> 8);
  }
  return bytes;
}

}  // namespace

class FieldEditorTest : public UiTest {
 protected:
  FieldEditorTest() {
    resetFieldEditor();
    screen.fill('.', 7);
  }
  ~FieldEditorTest() override { resetFieldEditor(); }

  void type(const std::vector<Stroke>& strokes) {
    for (const Stroke& s : strokes) {
      if (s.clickRow != 0) {
        screen.pushMouseClick(s.clickRow, s.clickCol);
      } else {
        screen.pushKey(s.code, s.controlKeys);
      }
    }
  }

  struct Result {
    std::string text;
    int16_t position;
    int16_t key;
  };
  Result edit(std::string text, int16_t position, int16_t lineLength = 0, int16_t row = FieldRow,
              int16_t col = FieldCol) {
    int16_t key = 0;
    editField(row, col, lineLength, text, position, key);
    return {text, position, key};
  }
};

TEST_F(FieldEditorTest, KeysEditAndMoveInFreeText) {
  struct Case {
    const char* name;
    std::string text;
    int16_t position;
    std::vector<Stroke> keys;  // Ins switches insert mode on
    std::string expectedText;
    int16_t expectedPosition;
    int16_t expectedKey;
  } cases[] = {
      {"overwrite", "AB  ", 1, {'X', KeyEnter}, "XB  ", 2, KeyEnter},
      {"insert", "AB  ", 1, {KeyIns, 'X', KeyEnter}, "XAB ", 2, KeyEnter},
      {"insert into a full text", "ABCD", 1, {KeyIns, 'X', KeyEnter}, "ABCD", 1, KeyEnter},
      {"typing at the end", "AB", 3, {'X', KeyEnter}, "AB", 3, KeyEnter},
      {"euro sign typed", "AB", 1, {KeyEuro, KeyEnter}, "\325B", 2, KeyEnter},
      {"backspace at the end", "AB", 3, {KeyBackspace, KeyEnter}, "A ", 2, KeyEnter},
      {"backspace at 1", "AB", 1, {KeyBackspace, KeyEnter}, "AB", 1, KeyEnter},
      {"del pulls a blank in", "ABC", 2, {KeyDel, KeyEnter}, "AC ", 2, KeyEnter},
      {"del at the end", "ABC", 4, {KeyDel, KeyEnter}, "ABC", 4, KeyEnter},
      {"end", "AB  ", 1, {KeyEnd, KeyEnter}, "AB  ", 3, KeyEnter},
      {"end in a blank text", "    ", 3, {KeyEnd, KeyEnter}, "    ", 1, KeyEnter},
      {"home", "AB  ", 3, {KeyHome, KeyEnter}, "AB  ", 1, KeyEnter},
      {"left stops at 1", "AB", 1, {KeyLeft, KeyEnter}, "AB", 1, KeyEnter},
      {"right stops at the end", "AB", 2, {KeyRight, KeyRight, KeyEnter}, "AB", 3, KeyEnter},
      {"ctrl+home clears", "AB  ", 3, {CtrlHome, KeyEnter}, "    ", 1, KeyEnter},
      {"ctrl+y clears", "AB  ", 3, {KeyCtrlY, KeyEnter}, "    ", 1, KeyEnter},
      {"position brought in", "AB", 9, {KeyEnter}, "AB", 3, KeyEnter},
      {"ctrl+right to the next word", "ab, cd", 1, {CtrlRight, KeyEnter}, "ab, cd", 5, KeyEnter},
      {"ctrl+right past the last", "ab  ", 1, {CtrlRight, KeyEnter}, "ab  ", 5, KeyEnter},
      {"ctrl+left to the word", "ab, cd", 5, {CtrlLeft, KeyEnter}, "ab, cd", 1, KeyEnter},
      {"ctrl+left inside a word", " ab cd", 6, {CtrlLeft, KeyEnter}, " ab cd", 5, KeyEnter},
      {"ctrl+left, blank at 1", " ab cd", 5, {CtrlLeft, KeyEnter}, " ab cd", 1, KeyEnter},
      {"ctrl+left at 1 ends", "ab", 1, {CtrlLeft}, "ab", 1, KeyCtrlLeft},
      {"ctrl+right at the end ends", "ab", 3, {CtrlRight}, "ab", 3, KeyCtrlRight},
      {"down in a single line ends", "AB", 1, {KeyDown}, "AB", 1, KeyDown},
      {"tab ends as enter", "AB", 1, {KeyTab}, "AB", 1, KeyEnter},
      {"alt+f4 ends as esc", "AB", 1, {AltF4}, "AB", 1, KeyEsc},
      {"ctrl+f4 ends as esc", "AB", 1, {CtrlF4}, "AB", 1, KeyEsc},
      {"character 255 ends", "AB", 1, {255}, "AB", 1, 255},
      {"character 127 ends", "AB", 1, {127}, "AB", 1, 127},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    screen.setInsertMode(false);
    type(c.keys);
    const Result got = edit(c.text, c.position);
    EXPECT_EQ(got.text, c.expectedText);
    EXPECT_EQ(got.position, c.expectedPosition);
    EXPECT_EQ(got.key, c.expectedKey);
    EXPECT_EQ(screen.pendingEvents(), 0u);
  }
}

TEST_F(FieldEditorTest, UpAndDownMoveBetweenLinesOfAnAreaOrEndTheEdit) {
  const std::string thirty = "abcdefghijklmnopqrstuvwxyz0123";  // three lines of 10
  struct Case {
    int16_t position, key, expectedPosition, expectedKey;
  } cases[] = {
      {3, KeyDown, 13, KeyEnter}, {23, KeyDown, 23, KeyDown}, {21, KeyDown, 31, KeyEnter},
      {13, KeyUp, 3, KeyEnter},   {3, KeyUp, 3, KeyUp},       {13, KeyShiftTab, 3, KeyEnter},
      {3, KeyShiftTab, 3, KeyUp}, {11, KeyUp, 1, KeyEnter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << " from " << c.position);
    type({c.key, KeyEnter});
    const Result got = edit(thirty, c.position, 10);
    EXPECT_EQ(got.text, thirty);
    EXPECT_EQ(got.position, c.expectedPosition);
    EXPECT_EQ(got.key, c.expectedKey);
    screen.discardPendingInput();
  }
}

TEST_F(FieldEditorTest, InsertKeyFlipsTheConsoleToggleThatLaterEditsShare) {
  type({KeyIns, 'X', KeyEnter});
  EXPECT_EQ(edit("AB  ", 1).text, "XAB ");
  EXPECT_TRUE(screen.insertMode());
  type({'Y', KeyEnter});
  EXPECT_EQ(edit("AB  ", 1).text, "YAB ");
  type({KeyIns, 'Z', KeyEnter});
  EXPECT_EQ(edit("AB  ", 1).text, "ZB  ");
  EXPECT_FALSE(screen.insertMode());
}

TEST_F(FieldEditorTest, DrawsOnlyTheTextInColourFourAndLeavesInColourZero) {
  screen.setIdleHandler([&](MemoryConsole& s) {
    EXPECT_EQ(s.text(FieldRow, FieldCol, 4), "ABC.");  // nothing drawn past the text
    EXPECT_EQ(s.cell(FieldRow, FieldCol).attribute, Colour4);
    s.pushKey(KeyEnter);
  });
  EXPECT_EQ(edit("ABC", 1).key, KeyEnter);
  EXPECT_EQ(currentColour, 0);
  int16_t row = 0, col = 0;
  screen.getCursor(row, col);
  EXPECT_EQ(row, FieldRow);
  EXPECT_EQ(col, FieldCol);
}

TEST_F(FieldEditorTest, MultiLineAreaDrawsOneLinePerRow) {
  screen.setIdleHandler([&](MemoryConsole& s) {
    EXPECT_EQ(s.text(5, 10, 11), "abcdefghij.");
    EXPECT_EQ(s.text(6, 10, 11), "klmnopqrst.");
    EXPECT_EQ(s.text(7, 10, 11), "uvwxy......");
    EXPECT_EQ(s.text(8, 10, 11), "...........");
    s.pushKey(KeyEnter);
  });
  EXPECT_EQ(edit("abcdefghijklmnopqrstuvwxy", 1, 10).key, KeyEnter);
}

TEST_F(FieldEditorTest, CursorSitsOnThePositionSizedByTheInsertToggle) {
  struct Case {
    int textLength;
    int16_t lineLength, position;
    bool insert;
    int16_t row, col, size;
  } cases[] = {
      {4, 0, 3, false, 5, 12, 100},    {4, 0, 5, true, 5, 14, 50},
      {30, 10, 11, false, 6, 10, 100}, {30, 10, 10, false, 5, 19, 100},
      {30, 10, 31, false, 7, 20, 100},  // at the end: after the last character, not below it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "position " << c.position);
    screen.setInsertMode(c.insert);
    screen.setIdleHandler([&](MemoryConsole& s) {
      int16_t row = 0, col = 0;
      s.getCursor(row, col);
      EXPECT_EQ(row, c.row);
      EXPECT_EQ(col, c.col);
      EXPECT_TRUE(s.cursorVisible());
      EXPECT_EQ(s.cursorSize(), c.size);
      s.pushKey(KeyEnter);
    });
    EXPECT_EQ(
        edit(std::string(static_cast<size_t>(c.textLength), 'a'), c.position, c.lineLength).key,
        KeyEnter);
    EXPECT_FALSE(screen.cursorVisible());
  }
}

TEST_F(FieldEditorTest, HiddenTextShowsTheMaskOnly) {
  setEditKeys("h", "");
  screen.setIdleHandler([&](MemoryConsole& s) {
    EXPECT_EQ(s.text(FieldRow, FieldCol, 5), "XXXX.");
    s.pushKey(KeyEnter);
  });
  screen.setClipboardText("before");
  type({'Z', KeyCtrlC});
  const Result got = edit("AB  ", 1);
  EXPECT_EQ(got.text, "ZB  ");
  EXPECT_EQ(got.key, KeyEnter);
  EXPECT_EQ(screen.clipboardText(), "before");  // a hidden text is not copied out
  setEditKeys("v", "");
  EXPECT_EQ(editMaskChar, 0);
}

TEST_F(FieldEditorTest, ClicksInsideMoveTheCursorAndOutsideEndTheEdit) {
  const std::string thirty(30, 'a');
  struct Case {
    const char* name;
    std::string text;
    int16_t lineLength;
    const char* exitKeys;
    std::vector<Stroke> input;
    int16_t expectedPosition, expectedKey;
  } cases[] = {
      {"on a character", "ABCDEF", 0, "", {Click(5, 12), KeyEnter}, 3, KeyEnter},
      {"just after the text", "ABCDEF", 0, "", {Click(5, 16), KeyEnter}, 7, KeyEnter},
      {"on the row below", "ABCDEF", 0, "", {Click(6, 12)}, 1, -1206},
      {"left of the area", "ABCDEF", 0, "", {Click(5, 9)}, 1, -905},
      {"past the filter", "ABCDEF", 0, "1b,d", {Click(6, 12)}, 1, -1206},
      {"second line of an area", thirty, 10, "", {Click(6, 11), KeyEnter}, 12, KeyEnter},
      {"right of an area's lines", thirty, 10, "", {Click(5, 20)}, 1, -2005},
      {"below an area", thirty, 10, "", {Click(8, 10)}, 1, -1008},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setEditKeys("ea", c.exitKeys);
    screen.pushMouseMove(9, 9);
    type(c.input);
    const Result got = edit(c.text, 1, c.lineLength);
    EXPECT_EQ(got.position, c.expectedPosition);
    EXPECT_EQ(got.key, c.expectedKey);
  }
}

TEST_F(FieldEditorTest, AreaIsPlacedInTheInnermostWindowOrAtTheCursor) {
  ASSERT_TRUE(openWindow(3, 5, 20, 70));
  type({Click(5, 9), 'x', KeyEnter});
  const Result got = edit("AB", 1, 0, 2, 3);
  EXPECT_EQ(got.text, "Ax");
  EXPECT_EQ(screen.text(5, 8, 2), "Ax");

  screen.setCursor(8, 15);
  type({KeyEnter});
  edit("CD", 1, 0, 0, 0);
  EXPECT_EQ(screen.text(8, 15, 2), "CD");
  closeWindow();
}

TEST_F(FieldEditorTest, ExitKeysFilterAndTranslateTheEndingKey) {
  struct Case {
    const char* name;
    const char* keyList;
    std::vector<Stroke> input;
    int16_t expectedKey;
  } cases[] = {
      {"every key when the list is empty", "", {KeyPgDn}, KeyPgDn},
      {"a key not listed is ignored", "1b,d", {KeyPgDn, KeyEnter}, KeyEnter},
      {"a negative key code is filtered too", "1b,d", {KeyF11, KeyEnter}, KeyEnter},
      {"reported as another key", "1b,d,3b00=1b", {KeyF1}, KeyEsc},
      {"enter as end when end is listed", "d,4f00,1b", {KeyEnter}, KeyEnd},
      {"enter stays when end's bytes only straddle two entries", "d,4f", {KeyEnter}, KeyEnter},
      {"tab as enter before the filter", "d", {KeyTab}, KeyEnter},
      {"alt+f4 as esc before the filter", "1b", {AltF4}, KeyEsc},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setEditKeys("ea", c.keyList);
    type(c.input);
    EXPECT_EQ(edit("AB", 1).key, c.expectedKey);
    EXPECT_EQ(screen.pendingEvents(), 0u);
  }
}

TEST_F(FieldEditorTest, IgnoredKeyRedrawsTheText) {
  setEditKeys("a", "1b,d");
  int waits = 0;
  screen.setIdleHandler([&](MemoryConsole& s) {
    if (waits++ == 0) {
      s.setCursor(FieldRow, FieldCol);
      s.writeText("##");
      s.pushKey(KeyPgDn);
    } else {
      EXPECT_EQ(s.text(FieldRow, FieldCol, 2), "AB");
      s.pushKey(KeyEsc);
    }
  });
  EXPECT_EQ(edit("AB", 1).key, KeyEsc);
  EXPECT_EQ(waits, 2);
}

TEST_F(FieldEditorTest, EditKeyCommandsBuildTheExitKeyLists) {
  struct Case {
    const char* mode;
    const char* keyList;
    std::string codes, results;
  } cases[] = {
      {"a", "4d00,1b,d", keyCodes({0x4D00, 0x1B, 0x0D}), keyCodes({0x4D00, 0x1B, 0x0D})},
      {"A", "3b00=1b, 8500,,", keyCodes({0x3B00, 0x8500}), keyCodes({0x1B, 0x8500})},
      {"ad", "d,1b", "", ""},
      {"e", "", "", ""},
      {"x?A", "ffff,8000=7fff", keyCodes({0xFFFF, 0x8000}), keyCodes({0xFFFF, 0x7FFF})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    setEditKeys("e", "");
    setEditKeys(c.mode, c.keyList);
    EXPECT_EQ(exitKeyCodes, c.codes);
    EXPECT_EQ(exitKeyResults, c.results);
  }
  // One entry removed per listed key, the first; a key not listed is skipped.
  setEditKeys("ea", "d,5000=1b,d");
  setEditKeys("D", "1b,d");
  EXPECT_EQ(exitKeyCodes, keyCodes({0x5000, 0x0D}));
  EXPECT_EQ(exitKeyResults, keyCodes({0x1B, 0x0D}));

  setEditKeys("?h", "");
  EXPECT_EQ(editMaskChar, 'X');
  setEditKeys("HV", "");
  EXPECT_EQ(editMaskChar, 0);
}

TEST_F(FieldEditorTest, SavedExitKeysNestAsAStack) {
  struct Step {
    const char* mode;
    const char* keyList;
    std::string codes;
  } steps[] = {
      {"a", "d,1b", keyCodes({0x0D, 0x1B})},  // before the form
      {"+ea", "3b00", keyCodes({0x3B00})},    // the form's field
      {"+e", "", ""},                         // a pop-up opened during the edit
      {"a", "4d00", keyCodes({0x4D00})},
      {"-", "", keyCodes({0x3B00})},      // the pop-up gives the field's keys back
      {"-", "", keyCodes({0x0D, 0x1B})},  // the field gives the earlier keys back
      {"-", "", keyCodes({0x0D, 0x1B})},  // nothing saved: nothing changes
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << step.mode << " " << step.keyList);
    setEditKeys(step.mode, step.keyList);
    EXPECT_EQ(exitKeyCodes, step.codes);
    EXPECT_EQ(exitKeyResults, step.codes);
  }
  EXPECT_TRUE(savedExitKeys.empty());
}

TEST_F(FieldEditorTest, HotKeyPopUpTypesItsResultIntoTheFieldBeingEdited) {
  // The pop-up installs its own exit keys and gives the field's back, as the real ones do.
  const HotKeyHandler popUp = [] {
    setEditKeys("+e", "");
    setEditKeys("-", "");
    return std::string("350");
  };
  setHotKeyHandlers(popUp, popUp);
  for (int16_t hotKey : {KeyAltX, KeyAltC}) {
    SCOPED_TRACE(hotKey);
    setEditKeys("+ea", "d,1b,3b00");
    type({hotKey, KeyEnter});
    const Result got = edit("     ", 1);
    EXPECT_EQ(got.text, "350  ");
    EXPECT_EQ(got.position, 4);
    EXPECT_EQ(got.key, KeyEnter);
    EXPECT_EQ(exitKeyCodes, keyCodes({0x0D, 0x1B, 0x3B00}));
    setEditKeys("-", "");
  }
}

TEST_F(FieldEditorTest, ChoiceListShowsTheLabelBetweenArrows) {
  setEditChoices("|S,Si|N,No");
  int waits = 0;
  screen.setIdleHandler([&](MemoryConsole& s) {
    const std::string expected[] = {"No", "Si", "No"};
    EXPECT_EQ(s.cell(FieldRow, FieldCol - 1).character, 0x11);
    EXPECT_EQ(s.text(FieldRow, FieldCol, 2), expected[waits]);
    EXPECT_EQ(s.cell(FieldRow, FieldCol + 2).character, 0x10);
    const Stroke next[] = {KeyRight, 'n', KeyEnter};
    s.pushKey(next[waits++].code);
  });
  const Result got = edit("N", 1);
  EXPECT_EQ(got.text, "N");
  EXPECT_EQ(got.key, KeyEnter);
  EXPECT_EQ(waits, 3);
  EXPECT_EQ(screen.text(FieldRow, FieldCol - 1, 4), " No ");  // arrows blanked on leaving
  EXPECT_EQ(foldForMatching, 0);

  // At the screen's left edge the left arrow has no cell and lands nowhere else.
  screen.setCursor(1, 30);
  type({KeyEnter});
  edit("S", 1, 0, 12, 1);
  EXPECT_EQ(screen.rowText(12), "Si " + std::string(77, '.'));
}

TEST_F(FieldEditorTest, ChoiceListKeysAndClicks) {
  // Labels of different lengths; the third begins with a capital A acute.
  const std::string choices = "|A,Alfa|B,Beta|C,\xB5rea|D,Delta";
  const int16_t arrowLeft = FieldCol - 1, arrowRight = FieldCol + 5;
  struct Case {
    const char* name;
    std::string text;
    std::vector<Stroke> input;
    std::string expectedText;
    int16_t expectedKey;
  } cases[] = {
      {"right", "B", {KeyRight, KeyEnter}, "C", KeyEnter},
      {"right wraps to the first", "D", {KeyRight, KeyEnter}, "A", KeyEnter},
      {"left wraps to the last", "A", {KeyLeft, KeyEnter}, "D", KeyEnter},
      {"space is next", "A", {KeySpace, KeyEnter}, "B", KeyEnter},
      {"first letter, accents folded", "A", {'a', KeyEnter}, "C", KeyEnter},
      {"first letter wraps round", "C", {'a', KeyEnter}, "A", KeyEnter},
      {"typed accented letter", "A", {0xA0, KeyEnter}, "C", KeyEnter},
      {"no label with that letter", "B", {'z', KeyEnter}, "B", KeyEnter},
      {"unknown code selects the first", "X", {KeyEnter}, "A", KeyEnter},
      {"editing keys ignored",
       "B",
       {KeyBackspace, KeyDel, KeyCtrlY, CtrlHome, KeyCtrlV, KeyEnter},
       "B",
       KeyEnter},
      {"up ends", "B", {KeyUp}, "B", KeyUp},
      {"ctrl+right ends", "B", {CtrlRight}, "B", KeyCtrlRight},
      {"shift+tab ends as up", "B", {KeyShiftTab}, "B", KeyUp},
      {"left arrow clicked", "B", {Click(FieldRow, arrowLeft), KeyEnter}, "A", KeyEnter},
      {"right arrow clicked", "B", {Click(FieldRow, arrowRight), KeyEnter}, "C", KeyEnter},
      {"label clicked", "B", {Click(FieldRow, FieldCol + 2), KeyEnter}, "B", KeyEnter},
      {"click elsewhere ends", "B", {Click(FieldRow + 1, FieldCol)}, "B", -1006},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setEditChoices(choices);
    screen.setClipboardText("zz");
    type(c.input);
    const Result got = edit(c.text, 1);
    EXPECT_EQ(got.text, c.expectedText);
    EXPECT_EQ(got.key, c.expectedKey);
    EXPECT_EQ(screen.pendingEvents(), 0u);
    EXPECT_EQ(screen.clipboardText(), "zz");
  }
}

TEST_F(FieldEditorTest, ChoiceListLabelWidthAndCopy) {
  setEditChoices("|A,One|B,Three|A,Two");  // the last option with the text's code is shown
  type({KeyCtrlC, KeyEnter});
  const Result got = edit("A ", 1);
  EXPECT_EQ(got.text, "A ");  // trailing blanks count: "A " is no option's code, so One
  EXPECT_EQ(screen.clipboardText(), "One");
  EXPECT_EQ(screen.text(FieldRow, FieldCol - 1, 8), " One   .");  // width of Three

  type({KeyCtrlC, KeyEnter});
  edit("A", 1);
  EXPECT_EQ(screen.clipboardText(), "Two");
}

TEST_F(FieldEditorTest, ClipboardCopyAndPaste) {
  struct Case {
    const char* name;
    std::string clipboard;
    int16_t position;
    std::string expectedText;
  } cases[] = {
      {"control characters dropped", "a\tb\r\nc", 2, "-abc--"},
      {"outer blanks removed", "  x y  ", 2, "-x y--"},
      {"cut at the end", "abcdefgh", 4, "---abc"},
      {"empty clipboard", "", 2, "------"},
      {"nothing left after dropping", "\x7F\xFF\x01", 2, "------"},
      {"at the end", "ab", 7, "------"},
      {"code page characters kept", "\x80\xD5", 1, "\x80\xD5----"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    screen.setClipboardText(c.clipboard);
    type({KeyCtrlV, KeyEnter});
    const Result got = edit("------", c.position);
    EXPECT_EQ(got.text, c.expectedText);
    EXPECT_EQ(got.position, c.position);
  }

  type({KeyCtrlC, KeyEnter});
  edit("  ab c  ", 1);
  EXPECT_EQ(screen.clipboardText(), "ab c");
}

TEST(IsInvalidNumber, AcceptsDigitsBlanksAndTheAllowedSigns) {
  struct Case {
    const char* text;
    const char* allowed;
    int16_t expected;
  } cases[] = {
      {"123", "", 0},    {" 12 ", "", 0},   {"", "", 0},         {"   ", "", 0},
      {"1.5", "", -1},   {"-3", "", -1},    {"12a", "", -1},     {"-1.5", "-.", 0},
      {"1-5", "-.", -1}, {"--1", "-.", -1}, {"1.2.3", "-.", -1}, {"12a-5", "-.", -1},
      {"+4", "-", 0},    {"- 4", "+", 0},   {".5-", "-.", -1},   {"-.5", ".-", 0},
      {"1.5", "-", -1},  {"+-1", "+-", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isInvalidNumber(c.text, c.allowed), c.expected)
        << "\"" << c.text << "\" allowed \"" << c.allowed << "\"";
  }
}
