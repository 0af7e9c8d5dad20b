#include "ui/message_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ui_fixture.h"

namespace {

std::string formatted(std::string text, int16_t indent, int16_t width, const std::string& align) {
  formatParagraph(text, indent, width, align);
  return text;
}

// "abcde abcde ..." cut to length.
std::string fiveLetterWords(size_t length) {
  std::string text;
  while (text.size() < length) text += "abcde ";
  return text.substr(0, length);
}

}  // namespace

TEST(FormatParagraph, BreaksBetweenWordsAndAligns) {
  const std::string seventy = fiveLetterWords(70);
  struct Case {
    std::string text;
    int16_t indent, width;
    std::string align, expected;
  } cases[] = {
      {"", 0, 10, "i", ""},
      {"abc", 0, 6, "i", "abc   "},
      {"abc", 0, 6, "e", "abc   "},
      {"abc", 0, 6, "L", "abc   "},
      {"abc", 0, 6, "n", "abc---"},
      {"abc", 0, 6, "d", "   abc"},
      {"abc", 0, 6, "R", "   abc"},
      {"abc", 0, 6, "c", " abc  "},
      {"abc", 0, 6, "x", "abc"},
      {"abc  ", 0, 6, "d", "   abc"},  // blanks before the end of the text are left out
      {seventy, 0, 76, "C", "   " + seventy + "   "},
      {seventy, 0, 76, "D", "      " + seventy},
      // A word that would be split moves to the next line; blanks before it are skipped.
      {"aaaa bbbb", 0, 7, "i", "aaaa   bbbb   "},
      {"aaa   bbbb", 0, 8, "i", "aaa     bbbb    "},
      {"abcdefghij", 0, 4, "i", "abcdefghij  "},  // longer than the room: cut
      {"aaa bbb ccc", 2, 7, "i", "  aaa  bbb ccc"},
      {"aaa bbb ccc", -2, 7, "i", "aaa bbb  ccc  "},
      // Justified: blanks go into the gaps from the left; the last line stays as it is.
      {"a b c dddd", 0, 8, "A", "a   b  cdddd"},
      {"aa bb cc dd ee", 0, 10, "b", "aa  bb  ccdd ee"},
      {"aaaaaa bb", 0, 8, "A", "aaaaaabb"},  // no blank in the first line: left as it is
      // Control characters take no width and travel with the word they follow.
      {"\x1E" "ab\x1E cd", 0, 4, "i", "\x1E" "ab\x1E  cd  "},
      {"ab\x1F" "cd", 0, 2, "i", "ab\x1F" "cd"},
      {"abc\x10" "def", 0, 5, "i", "abc  \x10" "def  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatted(c.text, c.indent, c.width, c.align), c.expected)
        << '"' << c.text << "\" width " << c.width << " align " << c.align;
  }
}

TEST(FormatParagraph, HundredCharactersOfWordsMakeTwoLines) {
  const std::string text = fiveLetterWords(100);
  const std::string result = formatted(text, 0, 76, "i");
  ASSERT_EQ(result.size(), 152u);
  // The first line ends at the last word that fits whole (12 words).
  EXPECT_EQ(result.substr(0, 76), text.substr(0, 71) + "     ");
  EXPECT_EQ(result.substr(76), text.substr(72) + std::string(76 - 28, ' '));
}

class MessageWindowTest : public UiTest {};

TEST_F(MessageWindowTest, OneLineIsCentredOnItsRow) {
  fillPattern();
  const std::string before = snapshot();
  setColour("n");
  std::string text = "FITXER BLOQUEJAT 123";  // 20 characters
  ASSERT_TRUE(showMessageWindow(12, text));

  EXPECT_EQ(text, "FITXER BLOQUEJAT 123" + std::string(56, ' '));
  EXPECT_EQ(windowDepth, 1);
  EXPECT_EQ(windowBox.windowTop, 9);
  EXPECT_EQ(windowBox.windowLeft, 29);
  EXPECT_EQ(windowBox.windowBottom, 11);
  EXPECT_EQ(windowBox.windowRight, 52);
  EXPECT_EQ(screen.text(9, 29, 24), "\xDA" + std::string(22, '\xC4') + "\xBF");
  EXPECT_EQ(screen.text(10, 29, 24), "\xB3 FITXER BLOQUEJAT 123 \xB3");
  EXPECT_EQ(screen.text(11, 29, 24), "\xC0" + std::string(22, '\xC4') + "\xD9");
  EXPECT_EQ(screen.cell(10, 31).attribute, Colour2);
  EXPECT_EQ(screen.cell(10, 51).attribute, Colour2);
  // The caller's colour is back; the window stays for the caller to close.
  EXPECT_EQ(currentColour, 1);
  EXPECT_EQ(screen.currentAttribute(), Colour1);
  EXPECT_TRUE(colourStack.empty());

  closeWindow();
  EXPECT_EQ(firstDifference(snapshot(), before), "");
}

TEST_F(MessageWindowTest, PlacementFollowsLinesAndScreenBottom) {
  struct Case {
    int16_t row;
    std::string text;
    int16_t top, left, bottom, right;
  } cases[] = {
      {12, std::string(76, 'x'), 9, 1, 11, 80},
      {24, "FITXER BLOQUEJAT. ESPEREU UN MOMENT.", 21, 21, 23, 60},
      {25, fiveLetterWords(200), 21, 3, 25, 77},   // three lines reach the last row
      {25, fiveLetterWords(400), 18, 3, 25, 77},   // six lines: moved up to fit
      {2, "a", 1, 38, 3, 42},                       // never above row 1
      {12, "ab", 9, 38, 11, 43},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    ASSERT_TRUE(showMessageWindow(c.row, text)) << c.row;
    EXPECT_EQ(windowBox.windowTop, c.top) << c.row << " " << c.text.size();
    EXPECT_EQ(windowBox.windowLeft, c.left) << c.row << " " << c.text.size();
    EXPECT_EQ(windowBox.windowBottom, c.bottom) << c.row << " " << c.text.size();
    EXPECT_EQ(windowBox.windowRight, c.right) << c.row << " " << c.text.size();
    closeWindow();
    EXPECT_EQ(windowDepth, 0);
  }
}

TEST_F(MessageWindowTest, TooLongTextOpensNothingAndItsCloseLeavesTheCallerWindow) {
  fillPattern();
  setColour("+u");
  openWindow(5, 5, 20, 70);
  drawFrame(2);
  const std::string withCaller = snapshot();

  for (std::string text : {fiveLetterWords(76 * 24), std::string()}) {
    EXPECT_FALSE(showMessageWindow(12, text));
    EXPECT_EQ(currentColour, 4);
    EXPECT_EQ(colourStack, std::string(1, '\0'));
    EXPECT_EQ(windowDepth, 1);
    closeWindow();  // the caller's usual close after the message
    EXPECT_EQ(windowDepth, 1);
    EXPECT_EQ(windowBox.windowTop, 5);
    EXPECT_EQ(firstDifference(snapshot(), withCaller), "");
  }
  closeWindow();
  EXPECT_FALSE(std::filesystem::exists(stackFile()));
}
