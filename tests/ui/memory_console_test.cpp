#include "platform/memory_console.h"

#include <gtest/gtest.h>

TEST(MemoryConsole, WritesWrapAtTheRowEndAndStopAtTheLastCell) {
  MemoryConsole screen(3, 5);
  screen.setColour(14, 1);
  screen.setCursor(1, 4);
  screen.writeText("abcd");
  EXPECT_EQ(screen.rowText(1), "   ab");
  EXPECT_EQ(screen.rowText(2), "cd   ");
  EXPECT_EQ(screen.cell(2, 1).attribute, 0x1E);
  screen.setCursor(3, 4);
  screen.writeText("xyz!");
  EXPECT_EQ(screen.rowText(3), "   xy");
  int16_t row = 0, column = 0;
  screen.getCursor(row, column);
  EXPECT_EQ(row, 3);
  EXPECT_EQ(column, 5);

  // Coordinates off the buffer leave that coordinate where it was.
  screen.setCursor(0, 2);
  screen.getCursor(row, column);
  EXPECT_EQ(row, 3);
  EXPECT_EQ(column, 2);
  screen.setCursor(2, 6);
  screen.getCursor(row, column);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(column, 2);

  // Colour components of 16 and more are kept.
  screen.setColour(16, 4);
  EXPECT_EQ(screen.currentAttribute(), 0x4E);
  screen.setColour(2, 99);
  EXPECT_EQ(screen.currentAttribute(), 0x42);
}

TEST(MemoryConsole, CodePointsAreStoredAsCodePageBytes) {
  MemoryConsole screen(1, 10);
  for (char32_t codePoint : {U'\u25C4', U'\u25BA', U'\u20AC', U'\u00E7', U'A', U'\u4E00'}) {
    screen.writeCodePoint(codePoint);
  }
  EXPECT_EQ(screen.text(1, 1, 6), "\x11\x10\xD5\x87" "A?");
}

TEST(MemoryConsole, InputEventsCarryTheirControlStateAndMouseCell) {
  MemoryConsole screen;
  screen.pushKey('a', ShiftPressed);
  screen.pushKey(15104, LeftAltPressed);
  screen.pushKey(-31488);
  screen.pushMouseClick(5, 10, 2, LeftCtrlPressed);
  screen.pushMouseMove(6, 11, RightAltPressed);

  EXPECT_EQ(screen.takeInput(), "a");
  EXPECT_EQ(screen.controlKeyState(), ShiftPressed);
  EXPECT_EQ(screen.takeInput(), std::string("\0\x3B", 2));
  EXPECT_EQ(screen.controlKeyState(), LeftAltPressed);
  EXPECT_EQ(screen.takeInput(), std::string("\0\x85", 2));
  EXPECT_EQ(screen.takeInput(), "\xFF\xFF\x08\x02");
  int16_t row = 0, column = 0;
  screen.mousePosition(row, column);
  EXPECT_EQ(row, 5);
  EXPECT_EQ(column, 10);
  EXPECT_EQ(screen.controlKeyState(), LeftCtrlPressed);
  EXPECT_EQ(screen.takeInput(), std::string("\xFF\xFF\x01\x00", 4));
  screen.mousePosition(row, column);
  EXPECT_EQ(row, 6);
  // Nothing pending: empty, and the state of the last event taken stays.
  EXPECT_EQ(screen.takeInput(), "");
  EXPECT_EQ(screen.controlKeyState(), RightAltPressed);

  // A wait with nothing scripted answers Esc rather than hanging the test.
  EXPECT_FALSE(screen.waitForInput(0));
  EXPECT_TRUE(screen.waitForInput(-1));
  EXPECT_EQ(screen.exhaustedWaits(), 1);
  EXPECT_EQ(screen.takeInput(), "\x1B");
}

TEST(MemoryConsole, IsTheProcessConsoleUntilAnotherIsInstalled) {
  EXPECT_EQ(console().windowRows(), 25);
  EXPECT_EQ(console().windowColumns(), 80);
  MemoryConsole mine(10, 20);
  setConsole(&mine);
  EXPECT_EQ(&console(), &mine);
  setConsole(nullptr);
  EXPECT_EQ(console().windowColumns(), 80);
}
