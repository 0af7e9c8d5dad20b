#include "locale/text_helpers.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <clocale>
#include <cwctype>

namespace {

// foldForMatching set for the scope of one check.
struct MatchingMode {
  explicit MatchingMode(int16_t mode) { foldForMatching = mode; }
  ~MatchingMode() { foldForMatching = 0; }
};

std::string convert(const char* to, const char* from, const std::string& bytes) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return "";
  std::string in = bytes, out(64, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return "";
  out.resize(out.size() - outLeft);
  return out;
}

// Code page 850 as the console shows it (858: the euro sign at 213), through iconv.
char32_t unicodeOf(unsigned char byte) {
  std::string utf32 = convert("UTF-32LE", "IBM858", std::string(1, static_cast<char>(byte)));
  char32_t u = 0;
  for (int i = 3; i >= 0 && utf32.size() == 4; --i)
    u = (u << 8) | static_cast<unsigned char>(utf32[i]);
  return u;
}

int byteOf(char32_t u) {
  std::string utf32;
  for (int i = 0; i < 4; ++i) utf32 += static_cast<char>((u >> (8 * i)) & 0xFF);
  std::string byte = convert("IBM858", "UTF-32LE", utf32);
  return byte.size() == 1 ? static_cast<unsigned char>(byte[0]) : -1;
}

std::string asciiOf(char32_t u) {
  std::string utf32;
  for (int i = 0; i < 4; ++i) utf32 += static_cast<char>((u >> (8 * i)) & 0xFF);
  return convert("ASCII//TRANSLIT", "UTF-32LE", utf32);
}

unsigned char folded(int code, int16_t mode) {
  MatchingMode scope(mode);
  return static_cast<unsigned char>(foldText(std::string(1, static_cast<char>(code)))[0]);
}

class FoldText : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    if (unicodeOf(0xB7) != U'\u00C0') GTEST_SKIP() << "iconv lacks code page 858";
  }
  void TearDown() override { std::setlocale(LC_CTYPE, "C"); }
};

TEST_F(FoldText, UpperCaseTableGivesTheCapitalsOfTheCodePage) {
  for (int code = 64; code < 238; ++code) {
    char32_t u = unicodeOf(static_cast<unsigned char>(code));
    int capital = byteOf(static_cast<char32_t>(std::towupper(static_cast<wint_t>(u))));
    int expected = capital >= 0 ? capital : code;
    // o with stroke and thorn keep their small form although the code page has capitals.
    if (code == 0x9B || code == 0xE7) expected = code;
    EXPECT_EQ(folded(code, 0), expected) << "code " << code;
  }
}

TEST_F(FoldText, MatchingTableGivesTheBareCapitalOfEveryLetterAndBlanksForTheRest) {
  for (int code = 64; code < 238; ++code) {
    char32_t u = unicodeOf(static_cast<unsigned char>(code));
    std::string ascii = asciiOf(u);
    char expected = ' ';
    if (std::iswalpha(static_cast<wint_t>(u)) && !ascii.empty()) {
      expected = static_cast<char>(std::toupper(static_cast<unsigned char>(ascii[0])));
    }
    // Florin and micro sign are symbols to the table; the console's euro sign matches E.
    if (code == 0x9F || code == 0xE6) expected = ' ';
    if (code == 0xD5) expected = 'E';
    EXPECT_EQ(folded(code, -1), static_cast<unsigned char>(expected)) << "code " << code;
  }
}

TEST(FoldTextModes, CodesOutsideTheTablesAndTheExamples) {
  struct Case {
    std::string text, matching, upper;
  } cases[] = {
      {"\xB7\x87\x82", "ACE", "\xB7\x80\x90"},  // A grave, c cedilla, e acute
      {"0123 ,.-/?", "0123 ,.-/?", "0123 ,.-/?"},
      {"[a]@", " A  ", "[A]@"},
      {"Obra n\xA7 1", "OBRA NO 1", "OBRA N\xA7 1"},
      {std::string("\x01\x1F\xEE\xFF\0", 5), std::string("\x01\x1F\xEE\xFF\0", 5),
       std::string("\x01\x1F\xEE\xFF\0", 5)},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    {
      MatchingMode scope(-1);
      EXPECT_EQ(foldText(c.text), c.matching) << c.text;
    }
    EXPECT_EQ(foldText(c.text), c.upper) << c.text;
  }
}

TEST(IsRepeatedChar, WholeTextOfOneCharacter) {
  struct Case {
    std::string text;
    int16_t code, expected;
  } cases[] = {
      {"", 32, -1},    {"", 128, -1},         {"   ", 32, -1},
      {"  a", 32, 0},  {"\x80\x80", 128, -1}, {"\x80\x81", 128, 0},
      {"\x80", 32, 0}, {"a", 97 + 256, 0},    {std::string(2, '\0'), 0, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(isRepeatedChar(c.text, c.code), c.expected) << c.text;
}

TEST(CenterOffset, HalfTheFreeWidthTruncatedTowardZero) {
  struct Case {
    size_t length;
    int16_t width, expected;
  } cases[] = {
      {10, 80, 35}, {11, 80, 34}, {0, 5, 2},          {13, 10, -1},
      {12, 10, -1}, {14, 10, -2}, {70000, 0, -32768},  // far too long: held at the smallest 16-bit
                                                       // value, not wrapped
  };
  for (const auto& c : cases) {
    EXPECT_EQ(centerOffset(std::string(c.length, 'x'), c.width), c.expected) << c.length;
  }
}

TEST(BytesAt, CopiesTheBytesZerosIncluded) {
  const unsigned char record[] = {0x80, 0x00, 'A', 0x00, 0xFF, 'z'};
  EXPECT_EQ(bytesAt(record, 5), std::string("\x80\0A\0\xFF", 5));
  EXPECT_EQ(bytesAt(record, 0), "");
  EXPECT_EQ(bytesAt(record, -3), "");
}

}  // namespace
