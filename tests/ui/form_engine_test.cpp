#include "ui/form_engine.h"

#include <vector>

#include "locale/packed_digits.h"
#include "platform/files.h"
#include "resources/form_definition.h"
#include "ui/field_editor.h"
#include "ui_fixture.h"

namespace {

// Panel 1 and 2 as the module has them; panel 3 three fields without a box, the middle one
// protected, continuing in panel 4 (in a box); panel 5 the odd flags; panel 6 nothing to
// edit. Rows and columns of panels without a box are screen positions.
const char* const kForm =
    "6,4\r\n"
    "' panel 1\r\n"
    "\"d,1b,4800,5000,4f00\",2,0,8,20,14,61\r\n"
    "2,11,\"From: \",4,0,0,0,1,0,\"\"\r\n"
    "4,11,\"To:   \",4,0,0,0,1,0,\"\"\r\n"
    "' panel 2\r\n"
    "\"d,1b\",1,0,16,22,18,59\r\n"
    "1,4,\"Sure? \",1,0,0,0,91,0,\"\"\r\n"
    "' panel 3\r\n"
    "\"d,1b,4800,5000,4900,5100,3c00,3e00,2\",3,4,0,0,0,0\r\n"
    "3,5,\"One: \",6,0,0,0,0,1,\"\"\r\n"
    "5,5,\"Two: \",6,0,0,4,0,0,\"\"\r\n"
    "7,5,\"Three: \",6,0,2,0,0,0,\"\"\r\n"
    "' panel 4\r\n"
    "\"d,1b,4800,5000,4900,5100\",2,0,10,10,16,70\r\n"
    "2,3,\"Four A: \",5,0,0,0,0,0,\"\"\r\n"
    "4,3,\"Four B: \",5,0,0,0,0,0,\"\"\r\n"
    "' panel 5\r\n"
    "\"d,1b,4800,5000\",4,0,0,0,0,0\r\n"
    "12,5,\"Blank: \",5,0,0,1,0,0,\"\"\r\n"
    "14,5,\"Hidden: \",6,0,0,2,0,0,\"\"\r\n"
    "16,5,\"Area: \",6,3,0,0,0,0,\"\"\r\n"
    "19,5,\"Fixed: \",4,0,0,4,0,0,\"\"\r\n"
    "' panel 6\r\n"
    "\"d\",1,0,0,0,0,0\r\n"
    "21,5,\"Shown: \",4,0,0,4,0,0,\"\"\r\n"
    "1\r\n"
    "506,0,4,19,21,60,0,\"x\",0\r\n";

constexpr int16_t kCtrlB = 2;

std::vector<int16_t> listsRun;
int16_t listResult = 0;
std::vector<std::string> helpTopics;

void fakeBrowseList(int16_t list, int16_t& result) {
  listsRun.push_back(list);
  result = listResult;
}
void fakeStorePick(int16_t, int16_t panel, int16_t field) {
  checkFieldValue(panel, "123", field, 0);
}
void fakeHelp(const std::string& topic) {
  helpTopics.push_back(topic);
}

class FormEngineTest : public UiTest {
 protected:
  FormEngineTest() {
    sessionSettings.languageCode = "CAT";
    resetFieldEditor();
    resetFormEngine();
    setBrowseListHandler(nullptr, nullptr);
    setHelpHandler(nullptr);
    listsRun.clear();
    helpTopics.clear();
    listResult = 0;
    const std::string name = dir.file("FORM.KPN");
    EXPECT_TRUE(writeFileBytes(name, kForm));
    EXPECT_EQ(readFormDefinition(name), "");
    set(3, 2, "keep");
  }
  ~FormEngineTest() override {
    resetFormModel();
    resetFormEngine();
    resetFieldEditor();
    setBrowseListHandler(nullptr, nullptr);
    setHelpHandler(nullptr);
  }

  static void set(int16_t panel, int16_t field, const std::string& text) {
    storeFieldValue(*formField(panel, field), text);
  }
  static std::string value(int16_t panel, int16_t field) { return formField(panel, field)->value; }

  // Queues keys: character codes 1 to 255 or scan codes x 256.
  void keys(std::initializer_list<int> codes) {
    for (int code : codes) screen.pushKey(static_cast<int16_t>(code));
  }

  // Runs the panel on the queued input; the key it ends with.
  int16_t run(int16_t panel, int16_t key = 0, int16_t leaveAtTop = 0, int16_t leaveAtBottom = 0) {
    runFormPanel(panel, leaveAtTop, leaveAtBottom, key);
    EXPECT_EQ(screen.pendingEvents(), 0u) << "keys left over";
    EXPECT_EQ(screen.exhaustedWaits(), 0) << "the panel wanted more keys";
    // Every edit gives back the exit keys it saved and the visible input.
    EXPECT_TRUE(savedExitKeys.empty());
    EXPECT_EQ(editMaskChar, 0);
    EXPECT_EQ(windowDepth, 0);
    return key;
  }
};

// Enter on the last field of a panel without continuation ends it; Down there stays.
TEST_F(FormEngineTest, EnterAndDownOnTheLastField) {
  keys({KeyDown, KeyDown, KeyDown, 'x', KeyEnter});
  EXPECT_EQ(run(4), KeyEnter);
  EXPECT_EQ(value(4, 1), "     ");
  EXPECT_EQ(value(4, 2), "x    ");

  keys({KeyEnter, 'y', KeyEnter});
  EXPECT_EQ(run(4), KeyEnter);
  EXPECT_EQ(value(4, 1), "     ");
  EXPECT_EQ(value(4, 2), "y    ");
}

TEST_F(FormEngineTest, KeysPassOverAProtectedField) {
  keys({KeyDown, 'y', KeyUp, 'z', kCtrlB});
  EXPECT_EQ(run(3), kCtrlB);
  EXPECT_EQ(value(3, 1), "z     ");
  EXPECT_EQ(value(3, 2), "keep  ");
  EXPECT_EQ(value(3, 3), "y     ");
}

// Esc drops the typed text and goes to the first field; a second Esc leaves with 27.
TEST_F(FormEngineTest, EscTwiceLeaves) {
  set(3, 3, "old");
  keys({KeyDown, 'q', KeyEsc, KeyEsc});
  EXPECT_EQ(run(3), KeyEsc);
  EXPECT_EQ(value(3, 3), "old   ");
  EXPECT_EQ(screen.text(7, 12, 8), "old     ");  // the stored value again, then the blanks
  EXPECT_EQ(value(3, 1), "      ");
}

// A reversed range is not accepted: the cursor is back on field 1, panel 2 never opened.
// A good range asks for S on panel 2, in its own box over panel 1.
TEST_F(FormEngineTest, ConfirmsOnlyAnOrderedRange) {
  // Each batch of keys is typed when the form waits for the operator; whether panel 2 is
  // on the screen then is noted. With End among panel 1's exit keys the editor reports
  // Enter as End, which ends the panel.
  const std::vector<std::vector<int>> batches = {{KeyCtrlY, '5', KeyDown, KeyCtrlY, '3', KeyEnter},
                                                 {KeyCtrlY, '2', KeyEnter},
                                                 {'s', KeyEnter}};
  size_t next = 0;
  std::vector<bool> answerShown;
  screen.setIdleHandler([&](MemoryConsole& console) {
    answerShown.push_back(console.text(17, 26, 6) == "Sure? ");
    if (next < batches.size())
      for (int code : batches[next++]) console.pushKey(static_cast<int16_t>(code));
  });
  EXPECT_EQ(run(1), KeyEnd);
  EXPECT_EQ(answerShown, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(value(1, 1), "2   ");
  EXPECT_EQ(value(1, 2), "3   ");
  EXPECT_EQ(value(2, 1), "S");
  EXPECT_EQ(rangeFrom, packDigits("0002"));
  EXPECT_EQ(rangeTo, packDigits("0003"));
  EXPECT_EQ(rangeFrom.size(), 2u);
  EXPECT_EQ(screen.beepCount(), 0);
}

// Panel 2 starts blank; a blank answer is refused with a beep, Esc goes back to panel 1,
// and Esc there ends the form with 27.
TEST_F(FormEngineTest, DeclinedConfirmation) {
  set(2, 1, "S");
  keys({KeyEnter, KeyEnter, KeyEsc, KeyEsc});
  EXPECT_EQ(run(1), KeyEsc);
  EXPECT_EQ(value(2, 1), " ");
  EXPECT_EQ(screen.beepCount(), 1);
  EXPECT_EQ(rangeFrom, packDigits("0001"));  // written by the attempt, not confirmed
  EXPECT_EQ(rangeTo, packDigits("0999"));

  // N is an answer, but not a yes.
  keys({KeyEnter, 'n', KeyEnter, KeyEsc});
  EXPECT_EQ(run(1), KeyEsc);
  EXPECT_EQ(value(2, 1), "N");
}

TEST_F(FormEngineTest, BlankStartAndHiddenFields) {
  set(5, 1, "abc");
  set(5, 2, "secret");
  drawFormPanel(5);
  EXPECT_EQ(screen.text(12, 12, 5), "abc  ");
  EXPECT_EQ(screen.text(14, 13, 6), "      ");

  // Enter on an untouched blank entry keeps the value; a typed one starts on blanks.
  keys({KeyEnter, 'p', 'w', KeyEnter, KeyEnter});
  EXPECT_EQ(run(5), KeyEnter);
  EXPECT_EQ(value(5, 1), "abc  ");
  EXPECT_EQ(value(5, 2), "pw    ");
  keys({'d', KeyEnter, KeyEnter, KeyEnter});
  EXPECT_EQ(run(5), KeyEnter);
  EXPECT_EQ(value(5, 1), "d    ");
  EXPECT_EQ(value(5, 2), "pw    ");
  const std::string shown = screen.screenText();
  EXPECT_EQ(shown.find("pw"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("secret"), std::string::npos) << shown;
  EXPECT_EQ(screen.text(12, 12, 5), "d    ");
}

TEST_F(FormEngineTest, DrawsTitleLabelsAndValues) {
  set(5, 1, "abc");
  set(5, 3, "uvwxyz");
  set(5, 4, "fix");
  for (auto [title, column] : std::vector<std::pair<std::string, int16_t>>{
           {" TITOL ", 37}, {" ABC ", 39}, {" ABCDEF ", 37}, {"", 41}}) {
    screen.clear();
    sessionSettings.menuTitle = title;
    drawFormPanel(5);
    EXPECT_EQ(screen.text(1, column, static_cast<int16_t>(title.size())), title) << title;
    if (!title.empty()) {
      EXPECT_EQ(screen.cell(1, column).attribute, Colour2) << title;
    }
    EXPECT_EQ(screen.text(1, column - 1, 1), " ") << title;
  }
  // A title wider than the screen keeps to the top line.
  screen.clear();
  sessionSettings.menuTitle = " " + std::string(200, 'T') + " ";
  drawFormPanel(5);
  EXPECT_EQ(screen.text(1, 1, 80), " " + std::string(79, 'T'));
  EXPECT_EQ(screen.text(2, 1, 80), std::string(80, ' '));
  EXPECT_EQ(screen.text(12, 5, 12), "Blank: abc  ");
  EXPECT_EQ(screen.cell(12, 5).attribute, Colour1);   // labels in colour n
  EXPECT_EQ(screen.cell(12, 12).attribute, Colour0);  // values in colour h
  EXPECT_EQ(screen.text(16, 5, 9), "Area: uvw");      // three characters a line
  EXPECT_EQ(screen.text(17, 11, 4), "xyz ");
  EXPECT_EQ(screen.text(19, 5, 11), "Fixed: fix ");

  // A panel with a box: a double frame, positions inside it.
  set(4, 2, "bee");
  keys({KeyEsc});
  screen.setIdleHandler([&](MemoryConsole& console) {
    EXPECT_EQ(console.text(10, 10, 2), "\xC9\xCD");
    EXPECT_EQ(console.text(14, 13, 13), "Four B: bee  ");
  });
  run(4);
}

// A click on a label or on the blanked columns after a field selects it; a click on a
// protected field or outside every field leaves the cursor where it was.
TEST_F(FormEngineTest, ClicksSelectFields) {
  screen.pushMouseClick(7, 5);  // label of Three
  keys({'k'});
  screen.pushMouseClick(5, 11);  // Two, protected
  keys({'n'});
  screen.pushMouseClick(22, 60);  // nothing there
  keys({'o', kCtrlB});
  EXPECT_EQ(run(3), kCtrlB);
  EXPECT_EQ(value(3, 1), "      ");
  EXPECT_EQ(value(3, 3), "o     ");

  screen.pushMouseClick(7, 19);  // the blanked columns right of Three
  keys({'t', kCtrlB});
  EXPECT_EQ(run(3), kCtrlB);
  EXPECT_EQ(value(3, 3), "t     ");

  // In a box, the click is taken relative to it.
  screen.pushMouseClick(14, 13);  // label of Four B
  keys({'b', KeyEnter});
  EXPECT_EQ(run(4), KeyEnter);
  EXPECT_EQ(value(4, 1), "     ");
  EXPECT_EQ(value(4, 2), "b    ");
}

// Up on the first field of a continuation panel goes back to the last field of the panel
// that called it.
TEST_F(FormEngineTest, ContinuationPanels) {
  keys({KeyDown, KeyEnter, 'a', KeyUp, 'm', kCtrlB});
  EXPECT_EQ(run(3), kCtrlB);
  EXPECT_EQ(value(4, 1), "a    ");
  EXPECT_EQ(value(3, 3), "m     ");
  EXPECT_EQ(value(3, 1), "      ");

  // F2 goes to the continuation from any field; Enter on its last field ends both.
  keys({KeyF2, KeyDown, 'e', KeyEnter});
  EXPECT_EQ(run(3), KeyEnter);
  EXPECT_EQ(value(4, 2), "e    ");
}

// PgDn on the last field of a continuation panel that may be left at its bottom leaves both
// panels; the next run goes straight back to that panel.
TEST_F(FormEngineTest, ResumesThePanelLeftWithPgDn) {
  keys({KeyDown, KeyEnter, KeyDown, KeyPgDn});
  EXPECT_EQ(run(3, 0, 0, -1), KeyPgDn);
  EXPECT_EQ(resumePanel, 4);

  keys({'r', KeyEnter, KeyEnter});
  EXPECT_EQ(run(3, 0, 0, -1), KeyEnter);
  EXPECT_EQ(value(4, 1), "r    ");
  EXPECT_EQ(value(3, 1), "      ");
  EXPECT_EQ(resumePanel, 0);

  // PgDn that only moves to the last field clears the resume.
  resumePanel = 4;
  keys({KeyPgDn, 'l', KeyEnter});
  EXPECT_EQ(run(4), KeyEnter);
  EXPECT_EQ(value(4, 2), "l    ");
  EXPECT_EQ(resumePanel, 0);
}

TEST_F(FormEngineTest, NothingToEditEndsAtOnce) {
  set(6, 1, "ro");
  EXPECT_EQ(run(6, 1234), 1234);
  EXPECT_EQ(screen.text(21, 5, 11), "Shown: ro  ");
  EXPECT_EQ(run(9, 77), 77);  // no such panel: nothing at all
}

TEST_F(FormEngineTest, BrowseListAndHelpKeys) {
  // Without pop-ups installed F4 and F1 do nothing.
  keys({KeyF4, KeyF1, 'w', kCtrlB});
  EXPECT_EQ(run(3), kCtrlB);
  EXPECT_EQ(value(3, 1), "w     ");

  setBrowseListHandler(fakeBrowseList, fakeStorePick);
  setHelpHandler(fakeHelp);
  sessionSettings.menuName = "MENU  ";
  // A pick is stored and moves on (over the protected field); F4 on a field without a
  // list and F1 stay on the field.
  keys({KeyF4, KeyF4, KeyF1, 'x', kCtrlB});
  EXPECT_EQ(run(3), kCtrlB);
  EXPECT_EQ(value(3, 1), "123   ");
  EXPECT_EQ(value(3, 3), "x     ");
  EXPECT_EQ(listsRun, std::vector<int16_t>{1});
  EXPECT_EQ(helpTopics, std::vector<std::string>{"MENU"});

  // A cancelled list beeps and gives the same field again; F1 without a menu name does
  // nothing.
  listResult = -1;
  sessionSettings.menuName = "";
  keys({KeyF4, KeyF1, 'c', kCtrlB});
  EXPECT_EQ(run(3), kCtrlB);
  EXPECT_EQ(value(3, 1), "c23   ");
  EXPECT_EQ(screen.beepCount(), 1);
  EXPECT_EQ(helpTopics.size(), 1u);
}

TEST_F(FormEngineTest, ChecksAndStoresValues) {
  struct Case {
    int16_t panel, field;
    std::string text;
    int16_t result;
    std::string value;
  } cases[] = {
      {1, 1, "12  ", 0, "12  "},
      {1, 1, " 7", 0, " 7  "},
      {1, 1, "", 0, "    "},
      {1, 1, "1a", -1, "1   "},
      {1, 1, "-3", -1, "1   "},
      {1, 1, "1.5", -1, "1   "},
      {2, 1, "s", 0, "S"},
      {2, 1, "n", 0, "N"},
      {2, 1, "x", -1, " "},
      {2, 1, " ", -1, " "},
      {4, 1, "any text", 0, "any t"},
  };
  for (const Case& c : cases) {
    set(1, 1, "1");
    set(2, 1, "");
    EXPECT_EQ(checkFieldValue(c.panel, c.text, c.field, 0), c.result) << c.text;
    EXPECT_EQ(value(c.panel, c.field), c.value) << c.text;
  }
  EXPECT_EQ(checkFieldValue(0, "1", 0, 0), -1);  // a linked list's pick names no field
  EXPECT_EQ(checkFieldValue(1, "1", 3, 0), -1);
  EXPECT_EQ(checkFieldValue(7, "1", 1, 0), -1);
}

TEST_F(FormEngineTest, ConfirmationOnlyForPanelOne) {
  EXPECT_EQ(confirmFormPanel(3, KeyEnter), 0);
  EXPECT_EQ(confirmFormPanel(1, KeyEsc), 0);
  EXPECT_TRUE(rangeFrom.empty());
  set(1, 1, "9");
  set(1, 2, "10");
  keys({'S', KeyEnter});
  EXPECT_EQ(confirmFormPanel(1, KeyEnd), 0);  // compared as numbers, not as texts
  EXPECT_EQ(rangeTo, packDigits("0010"));
}

}  // namespace
