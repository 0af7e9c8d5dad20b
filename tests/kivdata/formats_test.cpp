// CSV, code page conversion, the hex and seq record forms, and argument parsing.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "code_page_text.h"
#include "command_line.h"
#include "csv.h"
#include "record_formats.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows texts(const std::vector<CsvRow>& rows) {
  Rows result;
  for (const CsvRow& row : rows) {
    result.emplace_back();
    for (const CsvCell& cell : row.cells) result.back().push_back(cell.text);
  }
  return result;
}

TEST(Csv, ParsesRowsAndKeepsLineNumbers) {
  struct Case {
    std::string text;
    Rows rows;
    std::vector<int> lines;
  } cases[] = {
      {"a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"a,b\r\n1,2\r\n", {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"a,b\n1,2", {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"\xEF\xBB\xBFx\n", {{"x"}}, {1}},
      {"a\n\n\r\nb\n", {{"a"}, {"b"}}, {1, 4}},
      {"a,,\n", {{"a", "", ""}}, {1}},
      {"\"C/ Major, 3\",\"say \"\"hi\"\"\"\n", {{"C/ Major, 3", "say \"hi\""}}, {1}},
      {"\"two\r\nlines\",x\nnext\n", {{"two\r\nlines", "x"}, {"next"}}, {1, 3}},
      {"\"\",\"\"\n", {{"", ""}}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<CsvRow> rows;
    std::string problem;
    ASSERT_TRUE(parseCsv(c.text, rows, problem)) << problem;
    EXPECT_EQ(texts(rows), c.rows);
    std::vector<int> lines;
    for (const CsvRow& row : rows) lines.push_back(row.line);
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(Csv, RefusesMalformedQuotes) {
  struct Case {
    std::string text, problem;
  } cases[] = {
      {"a\n\"open,b\nc\n", "line 2: quoted field not closed"},
      {"a\n1,\"x\"y\n", "line 2: text after the closing quote of field 2"},
  };
  for (const Case& c : cases) {
    std::vector<CsvRow> rows;
    std::string problem;
    EXPECT_FALSE(parseCsv(c.text, rows, problem));
    EXPECT_EQ(problem, c.problem);
  }
}

TEST(Csv, WrittenLinesReadBackUnchanged) {
  std::vector<std::string> fields = {"plain", "with, comma", "quote \" inside", "line\nend",
                                     "", " padded "};
  std::string line = csvLine(fields);
  EXPECT_EQ(line,
            "plain,\"with, comma\",\"quote \"\" inside\",\"line\nend\",, padded \n");
  std::vector<CsvRow> rows;
  std::string problem;
  ASSERT_TRUE(parseCsv(line + line, rows, problem));
  EXPECT_EQ(texts(rows), (Rows{fields, fields}));
}

TEST(CodePageText, ConvertsUtf8ToCodePage850) {
  struct Case {
    std::string utf8, bytes;
  } cases[] = {
      {"Pla\xC3\xA7" "a", "Pla\x87" "a"},
      {"\xC3\x80tic", "\xB7tic"},
      {"Ra\xC3\xBCl \xC3\xB1", "Ra\x81l \xA4"},
      {"\xC4\xB1", "\xD5"},  // dotless i: code page 850 holds it where 858 has the euro
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string bytes, problem;
    EXPECT_TRUE(utf8ToCodePage850(c.utf8, bytes, problem)) << problem;
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(codePage850ToUtf8(c.bytes), c.utf8);
  }
}

TEST(CodePageText, NamesWhatCannotBeConverted) {
  struct Case {
    std::string utf8, problem;
  } cases[] = {
      {"10 \xE2\x82\xAC", "character 4 \"\xE2\x82\xAC\" (U+20AC) has no code in code page 850"},
      {"\xC3\xA0\xE2\x80\x9Cx", "character 2 \"\xE2\x80\x9C\" (U+201C) has no code in code page 850"},
      {"ab\xC3", "not valid UTF-8 at character 3"},
      {"a\xFF", "not valid UTF-8 at character 2"},
      {"\xC0\xAF", "not valid UTF-8 at character 1"},  // overlong form of "/"
  };
  for (const Case& c : cases) {
    std::string bytes, problem;
    EXPECT_FALSE(utf8ToCodePage850(c.utf8, bytes, problem));
    EXPECT_EQ(problem, c.problem);
  }
}

TEST(CodePageText, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string back, problem;
  ASSERT_TRUE(utf8ToCodePage850(codePage850ToUtf8(all), back, problem)) << problem;
  EXPECT_EQ(back, all);
}

std::vector<std::string> readAll(const std::string& input, RecordFormat format,
                                 std::string& problem) {
  std::istringstream stream(input);
  RecordReader reader(stream, format);
  std::vector<std::string> records;
  std::string record;
  while (reader.next(record, problem)) records.push_back(record);
  return records;
}

TEST(RecordFormats, ReadsHexLines) {
  struct Case {
    std::string input;
    std::vector<std::string> records;
  } cases[] = {
      {"0aFf\n00\n", {std::string("\x0A\xFF"), std::string(1, '\0')}},
      {"41 42\t43\r\n\n   \n44", {"ABC", "D"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    std::string problem;
    EXPECT_EQ(readAll(c.input, RecordFormat::Hex, problem), c.records);
    EXPECT_EQ(problem, "");
  }
}

TEST(RecordFormats, ReadsSeqRecords) {
  struct Case {
    std::string input;
    std::vector<std::string> records;
  } cases[] = {
      {"3,abc\r\n2,xy\r\n", {"abc", "xy"}},
      {"3,abc\r\n\x1A", {"abc"}},
      {"3,abc\r\n\x1A\x1A\x1A", {"abc"}},
      {"4,a\r\nb\r\n", {"a\r\nb"}},           // the length, not the line end, bounds a record
      {"3,abc\n2,xy", {"abc", "xy"}},         // LF alone, and no line end at the very end
      {"3,abc\x1A", {"abc"}},
      {"\x1A", {}},
  };
  for (const Case& c : cases) {
    std::string problem;
    EXPECT_EQ(readAll(c.input, RecordFormat::Seq, problem), c.records);
    EXPECT_EQ(problem, "");
  }
}

TEST(RecordFormats, ReportsWhereInputIsMalformed) {
  struct Case {
    RecordFormat format;
    std::string input, problem;
    size_t recordsBefore;
  } cases[] = {
      {RecordFormat::Hex, "4142\n\n41G2\n", "line 3, column 3: \"G\" is not a hexadecimal digit", 1},
      {RecordFormat::Hex, "414\n", "line 1: odd number of hexadecimal digits", 0},
      {RecordFormat::Hex, "41\xE9\n", "line 1, column 3: byte 0xE9 is not a hexadecimal digit", 0},
      {RecordFormat::Seq, "3,abc\r\n3,ab", "record 2 (byte 7): the input ends after 2 of 3 bytes", 1},
      {RecordFormat::Seq, "x", "record 1 (byte 0): expected the record length in digits, found \"x\"", 0},
      {RecordFormat::Seq, "3abc", "record 1 (byte 0): expected a comma after the record length", 0},
      {RecordFormat::Seq, "0,\r\n", "record 1 (byte 0): record length 0", 0},
      {RecordFormat::Seq, "3,abcd\r\n", "record 1 (byte 0): expected CR LF after the 3 bytes", 0},
      {RecordFormat::Seq, "3,abc\r\r\n", "record 1 (byte 0): expected CR LF after the 3 bytes", 0},
      {RecordFormat::Seq, "1,a\r\n\r\n", "record 2 (byte 5): expected the record length in digits, "
                                        "found byte 0x0D", 1},
      {RecordFormat::Seq, "1,a\r\n\x1A" "1,b", "record 2 (byte 6): data after the end-of-file byte 0x1A", 1},
      {RecordFormat::Seq, "1234567890,", "record 1 (byte 0): expected a comma after the record length", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    std::string problem;
    EXPECT_EQ(readAll(c.input, c.format, problem).size(), c.recordsBefore);
    EXPECT_EQ(problem, c.problem);
  }
}

// A damaged length field: memory follows the bytes that are there, not the length claimed.
TEST(RecordFormats, HugeLengthOfACutRecordTakesNoHugeBuffer) {
  std::istringstream input("999999999,ab");
  RecordReader reader(input, RecordFormat::Seq);
  std::string record, problem;
  EXPECT_FALSE(reader.next(record, problem));
  EXPECT_EQ(problem, "record 1 (byte 0): the input ends after 2 of 999999999 bytes");
  EXPECT_LT(record.capacity(), 1u << 20);
}

TEST(RecordFormats, WrittenRecordsReadBack) {
  std::vector<std::string> records = {std::string("\0\x1A\r\n,\xFF", 6), "x", std::string(448, '\x80')};
  for (RecordFormat format : {RecordFormat::Hex, RecordFormat::Seq}) {
    std::string text;
    for (const std::string& record : records) text += formatRecord(record, format);
    std::string problem;
    EXPECT_EQ(readAll(text, format, problem), records);
    EXPECT_EQ(problem, "");
  }
  EXPECT_EQ(formatRecord("\x01\xAB", RecordFormat::Hex), "01AB\n");
  EXPECT_EQ(formatRecord("ab", RecordFormat::Seq), "2,ab\r\n");
}

TEST(CommandLine, ParsesPositionalArgumentsAndOptions) {
  CommandSyntax syntax{1, 1, {"format", "key"}};
  struct Case {
    std::vector<std::string> arguments;
    ParseResult result;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::string problem;
  } cases[] = {
      {{"f"}, ParseResult::Run, {"f"}, {}, ""},
      {{"f", "--format", "seq", "in"}, ParseResult::Run, {"f", "in"}, {{"format", "seq"}}, ""},
      {{"--format=hex", "f", "--key", "-1"}, ParseResult::Run, {"f"}, {{"format", "hex"}, {"key", "-1"}}, ""},
      {{"f", "-"}, ParseResult::Run, {"f", "-"}, {}, ""},
      {{"f", "--", "--key"}, ParseResult::Run, {"f", "--key"}, {}, ""},
      {{"--help"}, ParseResult::Help, {}, {}, ""},
      {{"a", "b", "c", "-h"}, ParseResult::Help, {}, {}, ""},
      {{}, ParseResult::Usage, {}, {}, "missing arguments"},
      {{"a", "b", "c"}, ParseResult::Usage, {}, {}, "unexpected argument c"},
      {{"f", "--bogus", "1"}, ParseResult::Usage, {}, {}, "unknown option --bogus"},
      {{"f", "--format"}, ParseResult::Usage, {}, {}, "option --format needs a value"},
      {{"f", "--key", "1", "--key=2"}, ParseResult::Usage, {}, {}, "option --key given twice"},
  };
  for (const Case& c : cases) {
    ParsedArguments parsed;
    std::string problem;
    ASSERT_EQ(parseArguments(syntax, c.arguments, parsed, problem), c.result)
        << testing::PrintToString(c.arguments);
    EXPECT_EQ(problem, c.problem);
    if (c.result != ParseResult::Run) continue;
    EXPECT_EQ(parsed.positional, c.positional);
    EXPECT_EQ(parsed.options, c.options);
  }
}

TEST(CommandLine, ReadsWholeNumbersInRange) {
  struct Case {
    std::string text;
    bool ok;
    long long value;
  } cases[] = {
      {"0", true, 0},   {"-12", true, -12}, {"+7", true, 7}, {"100", true, 100},
      {"101", false, 0}, {"-101", false, 0}, {"", false, 0}, {"-", false, 0},
      {"1.5", false, 0}, {" 1", false, 0},  {"1e2", false, 0},
      {"99999999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    long long value = 0;
    EXPECT_EQ(parseInteger(c.text, -100, 100, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
}

}  // namespace
