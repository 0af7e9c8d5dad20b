#include "print_file_reader.h"

#include <gtest/gtest.h>

namespace zideruva {
namespace {

struct LineCase {
  std::string line;
  LineKind kind;
  std::string text;
  int column = 0;
  int advance = 0;
  int pageLength = 0;
};

TEST(PrintFileReader, KindsOfLine) {
  const LineCase cases[] = {
      {"PAGE 66 ", LineKind::Page, "PAGE 66 ", 0, 0, 66},
      {"PAGE-5 ", LineKind::Page, "PAGE-5 ", 0, 0, -5},
      {"PAGE66", LineKind::Page, "PAGE66", 0, 0, 66},
      {"PAGE", LineKind::Unparsed, "PAGE"},
      {"PAGE 6x ", LineKind::Unparsed, "PAGE 6x "},
      {"*@e", LineKind::Control, "@e"},
      {"*", LineKind::Control, ""},
      {"JUSD", LineKind::Justification, "D"},
      {"JUSN 3 \\a\\", LineKind::Justification, "N 3 \\a\\"},
      {" 1 ,ABC, 0 ", LineKind::Text, "ABC", 1, 0},
      {"-3 ,x, 2 ", LineKind::Text, "x", -3, 2},
      {" 11 ,C/ MAJOR, 12 , 0 ", LineKind::Text, "C/ MAJOR, 12 ", 11, 0},
      {" 1 ,, 1 ", LineKind::Text, "", 1, 1},
      {"1,text,0", LineKind::Text, "text", 1, 0},
      {" 32767 ,x,-32768 ", LineKind::Text, "x", 32767, -32768},
      {" 32768 ,x, 0 ", LineKind::Unparsed, " 32768 ,x, 0 "},
      {" 1 ,no advance", LineKind::Unparsed, " 1 ,no advance"},
      {" 1 ,x, 0 0 ", LineKind::Unparsed, " 1 ,x, 0 0 "},
      {" a ,x, 0 ", LineKind::Unparsed, " a ,x, 0 "},
      {" - ,x, 0 ", LineKind::Unparsed, " - ,x, 0 "},
      {"DEVICELPT1", LineKind::Unparsed, "DEVICELPT1"},  // only the first line names the device
      {"", LineKind::Unparsed, ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE("line \"" + c.line + "\"");
    std::vector<PrintFileLine> lines = readPrintFileLines("DEVICE\r\n" + c.line + "\r\n");
    ASSERT_EQ(lines.size(), 2u);
    const PrintFileLine& got = lines[1];
    EXPECT_EQ(got.kind, c.kind);
    EXPECT_EQ(got.text, c.text);
    EXPECT_EQ(got.column, c.column);
    EXPECT_EQ(got.advance, c.advance);
    EXPECT_EQ(got.pageLength, c.pageLength);
  }
}

TEST(PrintFileReader, DeviceLineAndLineEnds) {
  struct Case {
    std::string bytes;
    std::vector<std::pair<LineKind, std::string>> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"DEVICE\r\n", {{LineKind::Device, ""}}},
      {"DEVICE  c:\\out.pdf \r\n*@e", {{LineKind::Device, "  c:\\out.pdf "}, {LineKind::Control, "@e"}}},
      {"DEVICEPRN\n*a\r\n\r\n*b", {{LineKind::Device, "PRN"}, {LineKind::Control, "a"},
                                   {LineKind::Unparsed, ""}, {LineKind::Control, "b"}}},
      {"*@e\r\nDEVICEPRN\r\n", {{LineKind::Control, "@e"}, {LineKind::Unparsed, "DEVICEPRN"}}},
      {"*a\rb\r\n", {{LineKind::Control, "a\rb"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::vector<PrintFileLine> lines = readPrintFileLines(c.bytes);
    ASSERT_EQ(lines.size(), c.lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].kind, c.lines[i].first);
      EXPECT_EQ(lines[i].text, c.lines[i].second);
    }
  }
}

}  // namespace
}  // namespace zideruva
