#include "locale/packed_digits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

std::string fourDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%04d", n);
  return text;
}

TEST(PackDigits, PacksTwoDigitsToAByteAfterAligningTheTrimmedText) {
  struct Case {
    std::string text, bytes;
  } cases[] = {
      {"", ""},
      {"20241231", "\x94\x98\x8C\x9F"},
      {"1", "\x8A"},         // an odd last digit pairs with 0
      {" 7", "\x87"},        // leading blank
      {"7 ", "\x87"},        // trailing blank: the digit moves right
      {"12 4", "\x8C\x84"},  // a blank inside counts as 0
      {"  5", "\x80\xB2"},   // 005
      {"a9", "\x89"},        // a non-digit counts as 0
      {"    ", "\x80\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(packDigits(c.text), c.bytes) << '"' << c.text << '"';
}

TEST(PackDigits, ByteOrderIsNumericOrderAndUnpackingGivesTheDigitsBack) {
  PackedDigits previous;
  for (int n = 0; n <= 9999; ++n) {
    PackedDigits packed = packDigits(fourDigits(n));
    ASSERT_EQ(unpackDigits(packed), fourDigits(n));
    if (n > 0) {
      ASSERT_LT(previous, packed) << n;
    }
    previous = packed;
  }
}

TEST(UnpackDigits, BytesThatAreNotPackedDigitsComeOutAsTheirSmallNumbers) {
  struct Case {
    std::string bytes, digits;
  } cases[] = {
      {"", ""},
      {" ", "32"},
      {std::string(1, '\0'), "00"},
      {"\xE3", "99"},
      {"\xFF", "27"},  // 127 keeps its last two digits
      {"\x80\x8A", "0010"},
  };
  for (const auto& c : cases) EXPECT_EQ(unpackDigits(c.bytes), c.digits);
}

TEST(PackCode, PacksEachDottedNumberIntoItsPlace) {
  struct Case {
    std::string text, digits;
  } cases[] = {
      {"01", "0001"},
      {"1.2", "00010002"},
      {"1.2.3", "000100020003"},
      {"123456.7890", "1234567890"},  // 11 characters, one dot: the first number takes 6
      {"12345.6789x", "0123456789"},
      {"123456", "123456"},  // 6 characters, no dot
      {"12345", "2345"},     // 5 digits in a 4-digit place keep the last 4
      {"12a5", "0012"},      // the value is the leading digits
      {"x", "0000"},
      {"0999", "0999"},
      {"01  ", "0001"},  // the form's field text "1  " after the "0"
      {"0 50", "0050"},  // typed with a leading blank: still 50
      {"0  5 0 ", "0050"},
      {"0  5 0", "000050"},  // 6 characters: the first number takes 6 digits
      {"0   ", "0000"},
      {"1.", "0001"},
      {"1. ", "0001"},
      {"1..2", "000100000002"},
      {"", ""},
      {"   ", ""},
      {"99999999999999999999999", "9999"},  // far beyond any integer type
  };
  for (const auto& c : cases) {
    PackedDigits packed = packCode(c.text);
    EXPECT_EQ(unpackDigits(packed), c.digits) << '"' << c.text << '"';
    EXPECT_EQ(packed.size(), c.digits.size() / 2);
  }
}

TEST(PackedDigits, AnyInputGivesBytesOfPackedDigits) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 14);
  const char* alphabet = "0123456789 ..-a";
  for (int i = 0; i < 20000; ++i) {
    std::string raw, typed;
    for (int n = length(random); n > 0; --n) {
      raw += static_cast<char>(byte(random));
      typed += alphabet[byte(random) % 15];
    }
    for (const std::string& text : {raw, typed}) {
      PackedDigits digits = packDigits(text), code = packCode(text);
      ASSERT_EQ(digits.size(), (text.size() + 1) / 2);
      for (const PackedDigits& packed : {digits, code}) {
        for (unsigned char b : packed) ASSERT_TRUE(b >= 0x80 && b <= 0xE3) << text;
      }
    }
  }
}

}  // namespace
