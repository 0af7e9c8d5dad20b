#include "locale/numeric_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "core/session_settings.h"
#include "paths.h"

namespace {

// The installation root in a scratch directory, with no Quon.ini unless a test writes one.
class NumberPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionSettings();
    resetNumberSettings();
    sessionSettings.rootDir = root_.path() + "/";
  }
  void TearDown() override {
    resetNumberSettings();
    resetSessionSettings();
  }
  void writeUserSettings(const std::string& lines) {
    std::ofstream(root_.file("Quon.ini"), std::ios::binary) << "[Usuari]\r\n" << lines;
  }
  TempDir root_;
};

TEST_F(NumberPictures, FormatNumberWithTheDefaultCharacters) {
  struct Case {
    std::string picture;
    double value;
    std::string expected;
  } cases[] = {
      {"ZZZ9", 7, "   7"},
      {"ZZ,ZZZ,ZZ9.99", 1234.5, "     1.234'50"},
      {"ZZ,ZZZ,ZZ9.99", -1234.5, "    -1.234'50"},  // floating minus left of the digits
      {"ZZ9", -5, " -5"},
      {"ZZ9-", -5, "  5-"},
      {"ZZ9-", 5, "  5 "},
      {"-ZZ9", -5, "-  5"},
      {"+ZZ9", 5, "+  5"},
      {"+ZZ9", -5, "-  5"},
      {"ZZ9.99-", -1.5, "  1'50-"},
      {"ZZ9.99+", 1.5, "  1'50+"},
      {"ZZZ.ZZ", 0, "      "},
      {"ZZZZ", 0, "    "},
      {"ZZ9.99", 0, "  0'00"},
      {"ZZ9.ZZ", 5, "  5   "},  // decimals all zero: blanks, and the point with them
      {"ZZ9.ZZ", 5.5, "  5'5 "},
      {"ZZ9.ZZ", 0.05, "  0'05"},
      {"ZZ9", 2.5, "  2"},  // half to even
      {"ZZ9", 3.5, "  4"},
      {"ZZ9", 2.51, "  3"},
      {"ZZZZZZ9", -1234.5, "  -1234"},
      {"9.9", 0.25, "0'2"},
      {"9.9", 0.35, "0'4"},
      {"9.99", 1.005, "1'00"},  // 1.005 is held as slightly less than 1.005
      {"999", 7, "007"},
      {"99,999", 5, "00.005"},
      {"**,**9", 5, "*****5"},  // the comma outside the number takes the fill
      {"**,**9", 12345, "12.345"},
      {"***.**", 1.5, "**1'50"},
      {"ZZ,ZZ9", 1234, " 1.234"},
      {"ZZ,ZZ9", -1234, "-1.234"},
      {"N\xA7 ZZ9", 42, "N\xA7  42"},  // other characters are copied
      {"", 5, ""},
      // Numbers that do not fit: plain and right-aligned, cut, or all "!".
      {"Z,ZZ9", -1234, "-1234"},  // no place left for the floating minus
      {"ZZ9.99", 1234.5, "1234'5"},
      {"ZZ9", 12345, "!!!"},
      {"ZZ9", -123, "!!!"},
      {"9", -5, "!"},
      {"ZZ9", 1e300, "!!!"},
      {"ZZ9", std::numeric_limits<double>::infinity(), "!!!"},
      {"ZZ9", std::nan(""), "!!!"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatNumber(c.picture, c.value), c.expected) << c.picture << " " << c.value;
  }
}

TEST_F(NumberPictures, DecimalAndThousandsCharactersComeFromTheUserSettings) {
  writeUserSettings("DecCaracter=,x\r\nMilCaracter= \r\n");
  EXPECT_EQ(formatNumber("ZZ,ZZ9.99", 1234.5), " 1.234,50");  // blank value: "." stays
  // Read once: a changed file is not seen until the settings are reset.
  writeUserSettings("DecCaracter=:\r\nMilCaracter=_\r\n");
  EXPECT_EQ(formatNumber("ZZ,ZZ9.99", 1234.5), " 1.234,50");
  resetNumberSettings();
  EXPECT_EQ(formatNumber("ZZ,ZZ9.99", 1234.5), " 1_234:50");
}

TEST_F(NumberPictures, FormatPictureShowsHundredthsInTheActiveCurrency) {
  struct Case {
    std::string currency, picture;
    double amount;
    std::string expected;
  } cases[] = {
      {"a,E", "Z,ZZZ,ZZZ,ZZ9", 123450, "     1.234'50"},
      {"a,E", "Z,ZZZ,ZZZ,ZZ9", -123450, "    -1.234'50"},
      {"a,E", "Z,ZZZ,ZZZ,ZZ9", 0, "         0'00"},
      {"a,E", "Z,ZZZ,ZZZ,ZZ9", 5, "         0'05"},
      {"a,E", "ZZZZZZ", 0, "      "},  // no "9": nothing shown for zero
      {"a,E", "ZZZZZZ", 250, "  2'50"},
      {"a,E", "***,**9", 150, "***1'50"},
      {"a,E", "ZZZZ9.9", 12345, "123'450"},  // one picture decimal: three shown
      {"a,E", "-ZZZZ9", -500, "- 5'00"},
      {"a,E", "ZZZZ9-", -500, " 5'00-"},
      {"a,E", "ZZZZ9+", 500, " 5'00+"},
      {"p,P", "ZZZ,ZZ9", 100, "    166"},  // pesetas: no decimals
      {"p,P", "Z,ZZZ,ZZ9", 1000000, "1.663.860"},
      {"p,P", "ZZ9", 100000, "!!!"},
  };
  for (const auto& c : cases) {
    resetNumberSettings();
    setCurrency(c.currency);
    EXPECT_EQ(formatPicture(c.picture, c.amount), c.expected)
        << c.currency << " " << c.picture << " " << c.amount;
  }
}

TEST_F(NumberPictures, SetCurrencyChoosesPrimaryAlternateAndActive) {
  struct Step {
    std::string text, primary, alternate, active;
  } steps[] = {
      {"a,E", "", "E", ""},  // start-up: euros shown while nothing is active
      {"P", "", "E", "E"},   // the alternate currency becomes active
      {"x", "", "E", ""},    // back to the primary one
      {"p, p", "P", "E", "P"}, {"Pts", "P", "E", "E"},
      {"", "P", "E", "P"},     {"A,", "P", "", "P"},  // nothing after the comma stores no letter
      {"P", "P", "", "P"},                            // no alternate: the primary stays active
      {",e", "E", "", "E"},
  };
  for (const auto& s : steps) {
    setCurrency(s.text);
    EXPECT_EQ(numberSettings.primaryCurrency, s.primary) << s.text;
    EXPECT_EQ(numberSettings.alternateCurrency, s.alternate) << s.text;
    EXPECT_EQ(numberSettings.activeCurrency, s.active) << s.text;
  }
}

TEST(PadNumber, DigitsWithLeadingZerosCutToTheWidth) {
  struct Case {
    double value;
    int16_t width;
    std::string expected;
  } cases[] = {
      {7, 2, "07"},   {20240401, 8, "20240401"},
      {123, 2, "23"}, {-7, 3, "007"},
      {0, 3, "000"},  {5, 0, ""},
      {5, -1, ""},    {99999999999, 12, "099999999999"},
  };
  for (const auto& c : cases) EXPECT_EQ(padNumber(c.value, c.width), c.expected) << c.value;
}

}  // namespace
