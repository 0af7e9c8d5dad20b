#include "locale/date_text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <fstream>

#include "core/session_settings.h"
#include "paths.h"

namespace {

PackedDigits packedDate(int year, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  return packDigits(text);
}

// Code page 850 text as UTF-8, through iconv.
std::string utf8Of(const std::string& cp850) {
  iconv_t cd = iconv_open("UTF-8", "IBM850");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
  std::string in = cp850, out(4 * in.size() + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return "<invalid>";
  out.resize(out.size() - outLeft);
  return out;
}

class DateText : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionSettings();
    resetDateSettings();
    sessionSettings.rootDir = root_.path() + "/";
    sessionSettings.languageCode = "CAT";
  }
  void TearDown() override {
    resetDateSettings();
    resetSessionSettings();
  }
  void writeUserSettings(const std::string& lines) {
    std::ofstream(root_.file("Quon.ini"), std::ios::binary) << "[Usuari]\r\n" << lines;
    resetDateSettings();
  }
  std::string format(const std::string& language, const PackedDigits& date, int16_t style,
                     const std::string& fields) {
    sessionSettings.languageCode = language;
    return formatDate(date, style, fields);
  }
  TempDir root_;
};

TEST_F(DateText, StylesWithTheDefaultSettings) {
  const PackedDigits april1 = packedDate(2024, 4, 1), zero = packedDate(0, 0, 0);
  struct Case {
    std::string language;
    PackedDigits date;
    int16_t style;
    std::string fields, expected;
  } cases[] = {
      {"CAT", april1, 0, "dma", "1/4/2024  "},
      {"CAT", april1, 1, "dma", "1/abr/2024 "},
      {"CAT", april1, 2, "dma", "1 d'abril del 2024"},
      {"SPA", april1, 2, "DMA", "1 de abril de 2024"},
      {"GLG", april1, 2, "amd", "1 de abril do 2024"},
      {"OCI", april1, 2, "dma", "1 d'abriu deth 2024"},
      {"OCI", packedDate(2024, 3, 5), 2, "dma", "5 de mar\x87 deth 2024"},
      {"CAT", packedDate(2024, 8, 15), 2, "dm", "15 d'agost"},
      {"CAT", packedDate(2024, 10, 12), 2, "ma",
       "octubre del 2024"},  // no word before the first part
      {"CAT", packedDate(2024, 10, 12), 2, "m", "octubre"},
      {"   ", packedDate(2024, 10, 12), 2, "dm", "12 d'octubre"},  // no language: Catalan
      {"XYZ", packedDate(2024, 6, 30), 1, "dma", "30/jun/2024"},
      {"CAT", april1, -1, "", "2024-04-01"},
      {"CAT", april1, 0, "MA", "4/2024 "},
      {"CAT", april1, 0, "d", "1 "},
      {"CAT", april1, 0, "", ""},
      {"CAT", packedDate(2024, 12, 31), 0, "dma", "31/12/2024"},
      {"CAT", zero, 0, "dma", "          "},
      {"CAT", zero, 1, "dma", "           "},
      {"CAT", zero, 2, "dma", ""},
      {"CAT", zero, -1, "dma", "0000-00-00"},
      {"CAT", PackedDigits(), 0, "dma", "          "},  // an empty session date
      {"CAT", packedDate(2024, 0, 7), 0, "dma", "7/0/2024  "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format(c.language, c.date, c.style, c.fields), c.expected)
        << c.language << " " << unpackDigits(c.date) << " style " << c.style << " " << c.fields;
  }
}

TEST_F(DateText, MonthNamesOfTheFourLanguages) {
  // The names in UTF-8: the code page 850 bytes the program holds must convert to these.
  const char* names[4][12] = {
      {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
       "octubre", "noviembre", "diciembre"},
      {"janeiro", "fevereiro", "mar\xC3\xA7o", "abril", "maio", "junho", "julho", "agosto",
       "setembro", "outubro", "novembro", "dezembro"},
      {"g\xC3\xA8r", "hereu\xC3\xA8r", "mar\xC3\xA7", "abriu", "mai", "junh", "junhsega", "agost",
       "seteme", "octobre", "noveme", "deseme"},
      {"gener", "febrer", "mar\xC3\xA7", "abril", "maig", "juny", "juliol", "agost", "setembre",
       "octubre", "novembre", "desembre"},
  };
  const char* languages[4] = {"SPA", "GLG", "OCI", "CAT"};
  for (int l = 0; l < 4; ++l) {
    for (int m = 1; m <= 12; ++m) {
      PackedDigits date = packedDate(2024, m, 1);
      std::string full = format(languages[l], date, 2, "m");
      EXPECT_EQ(utf8Of(full), names[l][m - 1]) << languages[l] << " " << m;
      EXPECT_EQ(format(languages[l], date, 1, "m"), full.substr(0, 3)) << languages[l] << " " << m;
    }
  }
}

TEST_F(DateText, OrderAndSeparatorComeFromTheUserSettings) {
  const PackedDigits april1 = packedDate(2024, 4, 1), march5 = packedDate(2024, 3, 5);
  struct Case {
    std::string settings;
    PackedDigits date;
    int16_t style;
    std::string expected;
  } cases[] = {
      {"DatOrdre=AMD\r\n", april1, 2, "2024 d'abril del 1"},
      {"DatOrdre=AMD\r\n", march5, 2, "2024 de mar\x87 del 5"},
      {"DatOrdre=AMD\r\nDatCaracter=-.\r\n", april1, 0, "2024-4-1  "},  // first character only
      {"DatOrdre=MDAX\r\nDatCaracter=.\r\n", april1, 1, "abr.1.2024 "},
      {"DatCaracter= -\r\n", april1, 0, "1/4/2024  "},  // a blank first character: "/"
      {"DatOrdre=   \r\n", april1, 0, "1/4/2024  "},
      {"DatOrdre=A\r\n", april1, 0, "2024      "},    // the missing letters select nothing
      {"DatOrdre=dma\r\n", april1, 0, "          "},  // small letters select nothing
      {"DatOrdre=dma\r\n", april1, 2, ""},
      {"DatOrdre=dma\r\n", april1, -1, "2024-04-01"},
  };
  for (const auto& c : cases) {
    writeUserSettings(c.settings);
    EXPECT_EQ(formatDate(c.date, c.style, "dma"), c.expected) << c.settings;
  }
}

TEST_F(DateText, SettingsAreReadOnceAndKept) {
  writeUserSettings("DatCaracter=-\r\n");
  EXPECT_EQ(formatDate(packedDate(2024, 4, 1), 0, "dma"), "1-4-2024  ");
  std::ofstream(root_.file("Quon.ini"), std::ios::binary) << "[Usuari]\r\nDatCaracter=.\r\n";
  EXPECT_EQ(formatDate(packedDate(2024, 4, 1), 0, "dma"), "1-4-2024  ");
}

TEST_F(DateText, MonthsOutsideTheYearGiveNoName) {
  for (const char* language : {"CAT", "SPA", "GLG", "OCI"}) {
    for (int month : {0, 13, 50, 99}) {
      for (int day : {0, 1, 32, 99}) {
        PackedDigits date = packedDate(2024, month, day);
        EXPECT_EQ(format(language, date, 2, "m"), "");
        EXPECT_EQ(format(language, date, 1, "m"), "   ");
        EXPECT_EQ(format(language, date, 1, "dma").size(), 11u);
        EXPECT_EQ(format(language, date, 0, "dma").size(), 10u);
      }
    }
  }
  EXPECT_EQ(format("CAT", packedDate(2024, 13, 5), 2, "dma"), "5 de  del 2024");
  EXPECT_EQ(format("CAT", packedDate(2024, 4, 32), 0, "dma"), "32/4/2024 ");
  // Bytes that are not packed digits at all.
  EXPECT_EQ(format("CAT", std::string("\xFF\x00\x20\x7F", 4), 0, "dma"), "27/32/2700");
}

}  // namespace
