#include "ui/screen.h"

#include <gtest/gtest.h>

#include "ui_fixture.h"

using ScreenTest = UiTest;

TEST_F(ScreenTest, ColourCodesSelectPushAndPop) {
  struct Step {
    std::string code;
    int16_t colour;
    uint8_t attribute;
    std::string stack;  // colour indices as bytes
  } steps[] = {
      {"n", 1, Colour1, ""},
      {"", 1, Colour1, ""},      // empty: nothing, not even the stack
      {"   ", 1, Colour1, ""},   // blanks: the same
      {"+rh", 2, Colour2, "\x01"},
      {"+u", 4, Colour4, std::string("\x01\x02", 2)},
      {"rn", 3, Colour3, std::string("\x01\x02", 2)},
      {"xyz", 0, Colour0, std::string("\x01\x02", 2)},  // letters without meaning: colour 0
      {"+-", 0, Colour0, std::string("\x01\x02", 2)},   // push and pop the same entry
      {"-", 2, Colour2, "\x01"},
      {"-", 1, Colour1, ""},
      {"-", 0, Colour0, ""},  // empty stack: colour 0
      {"+H", 0, Colour0, std::string("\x00", 1)},
      {"U", 4, Colour4, std::string("\x00", 1)},
  };
  for (const Step& step : steps) {
    std::string code = step.code;
    setColour(code);
    EXPECT_EQ(currentColour, step.colour) << '"' << step.code << '"';
    EXPECT_EQ(screen.currentAttribute(), step.attribute) << '"' << step.code << '"';
    EXPECT_EQ(colourStack, step.stack) << '"' << step.code << '"';
  }
}

TEST_F(ScreenTest, ColourCodeIsUpperCasedInPlaceAndLargeTableValuesKeepTheComponent) {
  std::string code = "+rh";
  setColour(code);
  EXPECT_EQ(code, "+RH");

  screen.setColour(5, 6);
  sessionSettings.colourTable[1] = {16, 3};  // foreground kept
  setColour("n");
  EXPECT_EQ(screen.currentAttribute(), 5 + 16 * 3);
  sessionSettings.colourTable[1] = {9, 99};  // background kept
  setColour("n");
  EXPECT_EQ(screen.currentAttribute(), 9 + 16 * 3);
}

TEST_F(ScreenTest, FrameStylesDrawOnTheInnermostWindowAndClearItsInterior) {
  struct Case {
    int16_t style;
    std::string top, middle, bottom;
  } cases[] = {
      {1, "\xDA\xC4\xC4\xC4\xBF", "\xB3   \xB3", "\xC0\xC4\xC4\xC4\xD9"},
      {2, "\xC9\xCD\xCD\xCD\xBB", "\xBA   \xBA", "\xC8\xCD\xCD\xCD\xBC"},
      {0, "     ", "     ", "     "},
      {7, std::string(5, '\0'), std::string(1, '\0') + "   " + std::string(1, '\0'),
       std::string(5, '\0')},
  };
  for (const Case& c : cases) {
    screen.fill('#', 0x44);
    openWindow(3, 10, 6, 14);
    setColour("+u");
    drawFrame(c.style);
    setColour("-");
    EXPECT_EQ(screen.text(3, 10, 5), c.top) << c.style;
    EXPECT_EQ(screen.text(4, 10, 5), c.middle) << c.style;
    EXPECT_EQ(screen.text(5, 10, 5), c.middle) << c.style;
    EXPECT_EQ(screen.text(6, 10, 5), c.bottom) << c.style;
    EXPECT_EQ(screen.cell(4, 12).attribute, Colour4) << c.style;
    // Nothing around the frame is touched.
    EXPECT_EQ(screen.text(2, 9, 7), "#######") << c.style;
    EXPECT_EQ(screen.text(7, 9, 7), "#######") << c.style;
    EXPECT_EQ(screen.text(4, 9, 1) + screen.text(4, 15, 1), "##") << c.style;
    closeWindow();
  }
}

TEST_F(ScreenTest, NoFrameWithoutAWindow) {
  screen.fill('#', 0x44);
  const std::string before = snapshot();
  drawFrame(1);
  EXPECT_EQ(firstDifference(snapshot(), before), "");
}

TEST_F(ScreenTest, PositionsAndInnerBoundsFollowTheInnermostWindow) {
  auto cursor = [&] {
    int16_t row = 0, column = 0;
    screen.getCursor(row, column);
    return std::make_pair(row, column);
  };
  locateInWindow(3, 7);
  EXPECT_EQ(cursor(), std::make_pair(int16_t{3}, int16_t{7}));
  EXPECT_EQ(windowInnerTop(), 1);
  EXPECT_EQ(windowInnerLeft(), 1);
  EXPECT_EQ(windowInnerRight(), 80);

  openWindow(4, 1, 22, 80);
  locateInWindow(1, 1);
  EXPECT_EQ(cursor(), std::make_pair(int16_t{5}, int16_t{2}));
  openWindow(1, 59, 24, 80);
  locateInWindow(0, 8);
  EXPECT_EQ(cursor(), std::make_pair(int16_t{1}, int16_t{67}));
  EXPECT_EQ(windowInnerTop(), 2);
  EXPECT_EQ(windowInnerLeft(), 60);
  EXPECT_EQ(windowInnerRight(), 79);
  closeWindow();
  EXPECT_EQ(windowInnerLeft(), 2);
  closeWindow();
}

TEST_F(ScreenTest, ScrollRegionMovesOnlyTheRegion) {
  struct Case {
    int16_t top, left, bottom, right, lines;
    int firstRow, firstColumn, lastRow, lastColumn, shift;  // shift > 0 up
  } cases[] = {
      {4, 1, 20, 78, 0, 5, 2, 21, 79, -1},  // 0 counts as one row down
      {4, 1, 20, 78, -3, 5, 2, 21, 79, -3},
      {4, 1, 20, 78, 2, 5, 2, 21, 79, 2},
      {0, 0, 24, 79, 1, 1, 1, 25, 80, 1},
      {10, 70, 40, 99, 1, 11, 71, 25, 80, 1},  // bottom-right limited to the buffer
      {2, 2, 5, 5, 9, 3, 3, 6, 6, 9},         // more lines than rows: all blank
  };
  for (const Case& c : cases) {
    fillPattern();
    const std::string before = snapshot();
    setColour("u");
    scrollRegion(c.top, c.left, c.bottom, c.right, c.lines);
    for (int16_t row = 1; row <= 25; ++row) {
      for (int16_t column = 1; column <= 80; ++column) {
        const bool inside = row >= c.firstRow && row <= c.lastRow && column >= c.firstColumn &&
                            column <= c.lastColumn;
        const int source = row + c.shift;
        ConsoleCell expected;
        if (!inside) {
          expected = {static_cast<uint8_t>(before[((row - 1) * 80 + column - 1) * 2]),
                      static_cast<uint8_t>(before[((row - 1) * 80 + column - 1) * 2 + 1])};
        } else if (source >= c.firstRow && source <= c.lastRow) {
          expected = {static_cast<uint8_t>(before[((source - 1) * 80 + column - 1) * 2]),
                      static_cast<uint8_t>(before[((source - 1) * 80 + column - 1) * 2 + 1])};
        } else {
          expected = {' ', Colour4};
        }
        ConsoleCell got = screen.cell(row, column);
        ASSERT_EQ(got.character, expected.character)
            << "case " << c.top << "," << c.lines << " at " << row << "," << column;
        ASSERT_EQ(got.attribute, expected.attribute)
            << "case " << c.top << "," << c.lines << " at " << row << "," << column;
      }
    }
  }
}

TEST_F(ScreenTest, TextStackPairsPushesAndPops) {
  const std::string binary = std::string(300, 'x') + std::string("\0\x01\xFF", 3);
  pushText("AB");
  pushText("");
  pushText(binary);
  EXPECT_EQ(textStack.size(), 2 + 2 + 2 + binary.size() + 2);
  EXPECT_EQ(textStack.substr(0, 4), std::string("AB\x02\x00", 4));
  EXPECT_EQ(popText(), binary);
  EXPECT_EQ(popText(), "");
  EXPECT_EQ(popText(), "AB");
  EXPECT_EQ(popText(), "");
  EXPECT_TRUE(textStack.empty());
}
