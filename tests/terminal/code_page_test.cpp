#include "platform/code_page.h"

#include <gtest/gtest.h>

TEST(CodePage, ShowsBytesAsTheConsoleGlyphs) {
  struct Case {
    uint8_t byte;
    char32_t shown;
  } cases[] = {
      {0x00, U' '},      {0x01, U'\u263A'}, {0x07, U'\u2022'}, {0x0D, U'\u266A'},
      {0x10, U'\u25BA'}, {0x11, U'\u25C4'}, {0x1B, U'\u2190'}, {0x1F, U'\u25BC'},
      {0x20, U' '},      {0x41, U'A'},      {0x7F, U'\u2302'}, {0x82, U'\u00E9'},
      {0xB3, U'\u2502'}, {0xC9, U'\u2554'}, {0xD5, U'\u20AC'}, {0xF4, U'\u00B6'},
      {0xFF, U'\u00A0'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(unicodeForByte(c.byte), c.shown) << "byte " << int(c.byte);
  }
}

TEST(CodePage, GlyphsReadBackAsTheirBytes) {
  // Every byte written through its glyph comes back as the same byte, except the two
  // glyphs the code page also holds as real characters, which read back as those.
  for (int b = 1; b < 256; ++b) {
    int expected = b == 0x14 ? 0xF4 : b == 0x15 ? 0xF5 : b;
    EXPECT_EQ(byteForUnicode(unicodeForByte(uint8_t(b))), expected) << "byte " << b;
  }
  EXPECT_EQ(byteForUnicode(U'\u25C4'), 0x11);
  EXPECT_EQ(byteForUnicode(U'\u25BA'), 0x10);
  EXPECT_EQ(byteForUnicode(U'\x1b'), 0x1B);
  EXPECT_EQ(byteForUnicode(U'\0'), 0);
}

TEST(CodePage, CharactersTheCodePageLacksHaveNoByte) {
  for (char32_t cp : {U'\u0131', U'\u4E00', U'\u2603', U'\U0001F600', char32_t(0x110000)}) {
    EXPECT_EQ(byteForUnicode(cp), -1) << std::hex << uint32_t(cp);
  }
}
