#include "page_model.h"

#include <gtest/gtest.h>

namespace zideruva {
namespace {

PrintDocument layout(const std::string& bytes) { return layoutPages(readPrintFileLines(bytes)); }

// JUS holds for the texts after it up to the end of their line, the next non-zero advance.
TEST(PageModel, JustificationLastsToTheEndOfTheLine) {
  PrintDocument document = layout(
      "DEVICE\r\nPAGE 66 \r\n 1 ,a, 0 \r\nJUSD\r\n 5 ,b, 0 \r\n 9 ,c, 1 \r\n 1 ,d, 0 \r\n"
      "JUSC\r\n 5 ,e, 2 \r\n 1 ,f, 0 \r\nJUSA\r\n 3 ,g, 0 \r\nJUSE\r\n 5 ,h, 0 \r\n"
      "JUSR\r\n 7 ,i, 0 \r\nJUSN 3 \\x\\\r\n 9 ,j, -1 \r\n 11 ,k, 1 \r\nJUSD\r\nnot a line\r\n"
      " 1 ,l, 0 \r\n");
  const std::vector<std::pair<std::string, Justification>> expected = {
      {"a", Justification::Left},  {"b", Justification::Right}, {"c", Justification::Right},
      {"d", Justification::Left},  {"e", Justification::Centre}, {"f", Justification::Left},
      {"g", Justification::Both},  {"h", Justification::Left},   {"i", Justification::Left},
      {"j", Justification::Left},  {"k", Justification::Left},   {"not a line", Justification::Left},
      {"l", Justification::Left},
  };
  ASSERT_EQ(document.pages.size(), 1u);
  const std::vector<PlacedText>& texts = document.pages[0].texts;
  ASSERT_EQ(texts.size(), expected.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(expected[i].first);
    EXPECT_EQ(texts[i].text, expected[i].first);
    EXPECT_EQ(texts[i].justification, expected[i].second);
  }
  // Whatever the code, in fixed pitch the text starts at its column.
  EXPECT_EQ(document.pages[0].lines[0], "a   b   c");
}

TEST(PageModel, PageLengthPitchAndDevice) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string device;
    std::vector<std::pair<int, int>> pages;  // length, pitch
    std::vector<size_t> lineCounts;
  };
  const Case cases[] = {
      {"only the device line", "DEVICELPT1\r\n", "LPT1", {}, {}},
      {"texts before any PAGE line", "DEVICE\r\n 1 ,x, 1 \r\n", "", {{66, 10}}, {1}},
      {"elite pitch lasts to later pages",
       "DEVICE\r\nPAGE 66 \r\n*@e\r\n 1 ,x, 1 \r\nPAGE 66 \r\n 1 ,y, 1 \r\n", "",
       {{66, 12}, {66, 12}}, {1, 1}},
      {"other controls do nothing", "DEVICE\r\n*@x\r\n 1 ,x, 0 \r\n", "", {{66, 10}}, {1}},
      {"PAGE lines in a row make no blank page",
       "DEVICE\r\nPAGE 10 \r\nPAGE 20 \r\n 1 ,x, 1 \r\n", "", {{20, 10}}, {1}},
      {"advances only still make a page", "DEVICE\r\nPAGE 5 \r\n 1 ,, 2 \r\nPAGE 5 \r\n", "",
       {{5, 10}}, {0}},
      {"overflow continues on the next page",
       "DEVICE\r\nPAGE 3 \r\n 1 ,x, 2 \r\n 1 ,y, 3 \r\n 1 ,z, 0 \r\n", "",
       {{3, 10}, {3, 10}}, {3, 3}},
      {"page length 0 means the usual length", "DEVICE\r\nPAGE 0 \r\n 1 ,x, 0 \r\n", "",
       {{66, 10}}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrintDocument document = layout(c.bytes);
    EXPECT_EQ(document.device, c.device);
    ASSERT_EQ(document.pages.size(), c.pages.size());
    for (size_t i = 0; i < c.pages.size(); ++i) {
      EXPECT_EQ(document.pages[i].length, c.pages[i].first);
      EXPECT_EQ(document.pages[i].pitch, c.pages[i].second);
      EXPECT_EQ(document.pages[i].lines.size(), c.lineCounts[i]);
    }
  }
}

}  // namespace
}  // namespace zideruva
