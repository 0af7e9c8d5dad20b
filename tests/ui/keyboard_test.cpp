#include "ui/keyboard.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/console.h"
#include "ui_fixture.h"

namespace {

struct KeyEvent {
  int16_t key, button, row, column;
  bool operator==(const KeyEvent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const KeyEvent& e) {
  return out << "{" << e.key << ", " << e.button << ", " << e.row << ", " << e.column << "}";
}

KeyEvent readEvent() {
  KeyEvent e{-1, -1, -1, -1};
  readKeyEvent(e.key, e.button, e.row, e.column);
  return e;
}

constexpr uint16_t LeftAlt = LeftAltPressed, RightAlt = RightAltPressed,
                   LeftCtrl = LeftCtrlPressed, RightCtrl = RightCtrlPressed, Shift = ShiftPressed;

}  // namespace

using KeyboardTest = UiTest;

TEST_F(KeyboardTest, TypeAheadIsReadBeforeTheConsole) {
  screen.pushKey('z');
  typeAhead = "12,5";
  for (int16_t expected : {49, 50, 44, 53}) {
    int16_t key = 0, button = 7, row = 8, column = 9;
    readKeyEvent(key, button, row, column);
    EXPECT_EQ(key, expected);
    EXPECT_EQ(button, 7);  // left as they were
    EXPECT_EQ(row, 8);
    EXPECT_EQ(column, 9);
  }
  EXPECT_EQ(screen.pendingEvents(), 1u);
  typeAhead = "\xD5";
  EXPECT_EQ(readEvent().key, 213);  // bytes read unsigned
  EXPECT_EQ(readEvent().key, 'z');
}

TEST_F(KeyboardTest, ModifiersTranslateFunctionAndMovementKeys) {
  struct Case {
    int16_t plain;
    uint16_t state;
    int16_t expected;
  } cases[] = {
      {KeyF4, LeftAlt, 27392},          // Alt+F4
      {KeyF1, RightAlt, 26624},         // Alt+F1
      {KeyF10, LeftAlt, 28928},         // Alt+F10
      {KeyF11, RightAlt, -29952},       // Alt+F11
      {KeyF1, LeftCtrl, 24064},         // Ctrl+F1
      {KeyF12, RightCtrl, -30208},      // Ctrl+F12
      {KeyHome, LeftCtrl, 30464},
      {KeyRight, RightCtrl, 29696},
      {KeyLeft, LeftCtrl, 29440},
      {KeyF1, Shift, 21504},            // Shift+F1
      {KeyF12, Shift, -30720},          // Shift+F12
      {KeyF11, 0, -31488},
      {KeyF1, LeftCtrl | LeftAlt, 26624},  // Alt before Ctrl (right Alt: no keypad entry)
      {KeyF1, RightAlt | LeftCtrl, 26624},
      {KeyF2, LeftCtrl | Shift, 24320},  // Ctrl before Shift
      {KeyHome, Shift, KeyHome},
      {KeyLeft, RightAlt, KeyLeft},      // right Alt starts no keypad entry
      {KeyEnd, RightAlt, KeyEnd},
      {KeyAltE, LeftAlt, 213},
      {KeyAltE, RightAlt | LeftCtrl | Shift, 213},
      {'a', LeftCtrl, 'a'},
      {KeyShiftTab, Shift, KeyShiftTab},
      {KeyAltX, LeftAlt, KeyAltX},   // no calculator registered: the key itself
  };
  for (const Case& c : cases) {
    screen.pushKey(c.plain, c.state);
    EXPECT_EQ(readEvent(), (KeyEvent{c.expected, 0, 0, 0}))
        << "key " << c.plain << " state " << c.state;
  }
}

TEST_F(KeyboardTest, AltKeypadDigitsGiveOneCharacter) {
  struct Case {
    std::vector<int16_t> keypad;
    int16_t ending;
    uint16_t endingState;
    int16_t expected;
  } cases[] = {
      {{KeyEnd, KeyPgDn, KeyIns}, 'x', 0, 130},           // 1 3 0
      {{KeyDown, KeyPgUp, KeyPgUp}, KeyF1, 0, 43},         // 299 modulo 256
      {{KeyUp, KeyCentre}, 'q', LeftAlt, 85},              // another key with Alt ends it
      {{KeyLeft, KeyRight, KeyHome, KeyIns}, KeyEnter, Shift, static_cast<int16_t>(4670 % 256)},
  };
  for (const Case& c : cases) {
    for (int16_t key : c.keypad) screen.pushKey(key, LeftAlt);
    screen.pushKey(c.ending, c.endingState);
    screen.pushKey('n');
    EXPECT_EQ(readEvent(), (KeyEvent{c.expected, 0, 0, 0})) << c.expected;
    EXPECT_EQ(readEvent().key, 'n') << "the ending event is dropped";
  }

  // Left Alt with a key that is not on the keypad is just that key with Alt.
  screen.pushKey(KeyF4, LeftAlt);
  EXPECT_EQ(readEvent().key, 27392);
}

TEST_F(KeyboardTest, AltKeypadEntryWaitsForItsEndWithoutBlocking) {
  screen.pushKey(KeyEnd, LeftAlt);
  screen.pushKey(KeyEnd, LeftAlt);
  EXPECT_EQ(readEvent(), (KeyEvent{0, 0, 0, 0}));  // digits kept, nothing to give yet
  EXPECT_EQ(screen.exhaustedWaits(), 0);
  EXPECT_EQ(readEvent(), (KeyEvent{0, 0, 0, 0}));
  screen.pushKey(KeyDown, LeftAlt);
  screen.pushKey(KeyDown);
  EXPECT_EQ(readEvent().key, 112);
  EXPECT_EQ(readEvent(), (KeyEvent{0, 0, 0, 0}));  // the next read starts afresh
}

TEST_F(KeyboardTest, MouseClicksAndMoves) {
  screen.pushMouseClick(5, 10);
  EXPECT_EQ(readEvent(), (KeyEvent{0, 1, 5, 10}));
  screen.pushMouseMove(7, 7);
  EXPECT_EQ(readEvent(), (KeyEvent{0, 0, 0, 0}));

  struct Case {
    int16_t row, column;
    uint8_t button;
    int16_t code;
  } clicks[] = {
      {5, 10, 1, 2629},
      {25, 80, 2, 80 * 256 + 128 + 25},
      {1, 1, 1, 256 + 64 + 1},
      {25, 200, 1, static_cast<int16_t>(static_cast<uint16_t>(200 * 256 + 64 + 25))},
  };
  for (const Case& c : clicks) {
    screen.pushMouseMove(c.row, c.column);  // moves are passed over
    screen.pushMouseClick(c.row, c.column, c.button);
    EXPECT_EQ(waitKey(), c.code) << c.row << "," << c.column;
  }
}

TEST_F(KeyboardTest, MouseInputIsOnOnlyWhileWaiting) {
  EXPECT_EQ(mouseState, 0);
  EXPECT_EQ(readEvent().key, 0);
  EXPECT_EQ(mouseState, 1);
  EXPECT_TRUE(screen.mouseInputOn());

  screen.pushKey('a');
  EXPECT_EQ(readEvent().key, 'a');
  EXPECT_EQ(mouseState, 2);
  EXPECT_FALSE(screen.mouseInputOn());

  screen.pushKey(KeyF11);  // a negative key leaves it on
  EXPECT_EQ(readEvent().key, KeyF11);
  EXPECT_EQ(mouseState, 1);
  EXPECT_TRUE(screen.mouseInputOn());

  screen.pushMouseClick(3, 4);
  EXPECT_EQ(readEvent().button, 1);
  EXPECT_EQ(mouseState, 2);
  EXPECT_FALSE(screen.mouseInputOn());
}

TEST_F(KeyboardTest, WithoutAMouseClicksAreNotReported) {
  screen.setMouseButtonCount(0);
  screen.pushMouseClick(5, 10);
  screen.pushKey('k');
  EXPECT_EQ(readEvent(), (KeyEvent{0, 0, 0, 0}));
  EXPECT_EQ(mouseState, 3);
  EXPECT_EQ(readEvent().key, 'k');
  EXPECT_EQ(mouseState, 3);
  EXPECT_FALSE(screen.mouseInputOn());
}

namespace {
std::vector<int16_t> calculatorStates;
int calendarRuns = 0;

std::string fakeCalculator() {
  calculatorStates.push_back(calculatorOpen);
  // A second Alt+X inside the calculator is a plain key.
  static_cast<MemoryConsole&>(console()).pushKey(KeyAltX, LeftAlt);
  int16_t key = 0, button = 0, row = 0, column = 0;
  readKeyEvent(key, button, row, column);
  calculatorStates.push_back(key);
  return "12,50";
}

std::string fakeCalendar() {
  ++calendarRuns;
  return "01/02/2024";
}
}  // namespace

TEST_F(KeyboardTest, HotKeysRunTheirPopUpsAndTypeTheResult) {
  calculatorStates.clear();
  calendarRuns = 0;
  setHotKeyHandlers(fakeCalculator, fakeCalendar);

  screen.pushKey(KeyAltX, LeftAlt);
  EXPECT_EQ(readEvent().key, KeyAltX);
  EXPECT_EQ(calculatorStates, (std::vector<int16_t>{-1, KeyAltX}));
  EXPECT_EQ(calculatorOpen, 0);
  std::string typed;
  for (int i = 0; i < 5; ++i) typed += static_cast<char>(waitKey());
  EXPECT_EQ(typed, "12,50");
  EXPECT_TRUE(typeAhead.empty());

  screen.pushKey(KeyAltC, LeftAlt);
  EXPECT_EQ(waitKey(), KeyAltC);
  EXPECT_EQ(calendarRuns, 1);
  EXPECT_EQ(typeAhead, "01/02/2024");

  calendarOpen = -1;  // the calendar is running: Alt+C opens nothing
  typeAhead.clear();
  screen.pushKey(KeyAltC, LeftAlt);
  EXPECT_EQ(waitKey(), KeyAltC);
  EXPECT_EQ(calendarRuns, 1);
  EXPECT_TRUE(typeAhead.empty());
  setHotKeyHandlers(nullptr, nullptr);
}

TEST_F(KeyboardTest, WaitKeyBlocksInTheConsoleBetweenPolls) {
  int idleCalls = 0;
  screen.setIdleHandler([&](MemoryConsole& console) {
    if (++idleCalls < 3) {
      console.pushMouseMove(2, 2);
    } else {
      console.pushKey(KeyF2);
    }
  });
  const int flushesBefore = screen.flushCount();
  EXPECT_EQ(waitKey(), KeyF2);
  EXPECT_EQ(idleCalls, 3);
  EXPECT_EQ(screen.flushCount() - flushesBefore, 3);  // the screen goes out before each wait
  EXPECT_EQ(screen.exhaustedWaits(), 0);

  // readKeyEvent itself never waits.
  EXPECT_EQ(readEvent(), (KeyEvent{0, 0, 0, 0}));
  EXPECT_EQ(idleCalls, 3);
}
