#include "core/ini_file.h"

#include <gtest/gtest.h>

#include "paths.h"
#include "platform/files.h"

namespace {

struct IniCase {
  const char* name;
  std::string content;
  const char* section;
  const char* key;
  std::string expected;
};

class IniLookup : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniLookup, AnswersAsTheFileSays) {
  const IniCase& c = GetParam();
  TempDir dir;
  ASSERT_TRUE(writeFileBytes(dir.file("Sessio.ini"), c.content));
  EXPECT_EQ(readIniValue(dir.file("Sessio.ini"), c.section, c.key), c.expected);
}

const std::string kMenu = "[Menu]\r\nTitol = Factures\r\nNomMenu=FACT01\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniLookup,
    ::testing::Values(
        IniCase{"BlanksAroundEqualsKeepValueBlank", kMenu, "menu", "titol", " Factures"},
        IniCase{"RequestTrimmedAndCaseFree", kMenu, "  MENU ", " TiTol  ", " Factures"},
        IniCase{"OtherKey", kMenu, "Menu", "NomMenu", "FACT01"},
        IniCase{"MissingKey", kMenu, "Menu", "Dir", ""},
        IniCase{"MissingSection", kMenu, "Terminal", "Titol", ""},
        IniCase{"QuotesRemovedBlanksKept", "[A]\r\nk=\"  x y \"\r\n", "A", "k", "  x y "},
        IniCase{"QuotedThenCommentKeepsQuotes", "[A]\r\nk=\"x\" ;note\r\n", "A", "k",
                "\"x\" "},
        IniCase{"TwoQuotesBecomeEmpty", "[A]\r\nk=\"\"\r\n", "A", "k", ""},
        IniCase{"SingleQuoteStays", "[A]\r\nk=\"\r\n", "A", "k", "\""},
        IniCase{"SemicolonInsideQuotesIsComment", "[A]\r\nk=\"a;b\"\r\n", "A", "k", "\"a"},
        IniCase{"HeaderWithoutBracket", "[Menu\r\nTitol=T\r\n", "Menu", "Titol", "T"},
        IniCase{"HeaderBlanksIgnored", "  [ Menu ] junk\r\nTitol=T\r\n", "menu", "Titol", "T"},
        IniCase{"KeyBeforeAnySection", "Titol=T\r\n[Menu]\r\n", "Menu", "Titol", ""},
        IniCase{"SecondSameSectionNeverReached",
                "[Menu]\r\na=1\r\n[Other]\r\n[Menu]\r\nb=2\r\n", "Menu", "b", ""},
        IniCase{"FirstMatchingKeyWins", "[A]\r\nk=1\r\nK=2\r\n", "A", "k", "1"},
        IniCase{"LineFeedsAloneAreOneLine", "[Menu]\nTitol=T\n", "Menu", "Titol", ""},
        IniCase{"LoneLineFeedIsPartOfValue", "[A]\r\nk=x\ny\r\n", "A", "k", "x\ny"},
        IniCase{"CrWithoutLf", "[A]\rk=v\r", "A", "k", "v"},
        IniCase{"EmptyKeyMatchesLeadingEquals", "[A]\r\n=v\r\n", "A", "", "v"},
        IniCase{"TabsAreOrdinary", "[A]\r\n\tk=v\r\n", "A", "k", ""},
        IniCase{"CommentedOutKey", "[A]\r\n;k=v\r\n k = w\r\n", "A", "k", " w"},
        IniCase{"AccentedNamesFold", "[Pa\x82s]\r\nCl\x85u=v\r\n", "PA\x90S", "CL\xB7U", "v"},
        IniCase{"EndOfFileByteEndsFile", "[A]\r\n\x1Ak=v\r\n", "A", "k", ""},
        IniCase{"NoFinalLineEnd", "[A]\r\nk=last", "A", "k", "last"},
        IniCase{"EndsInsideQuotes", "[A]\r\nk=\"open", "A", "k", "\"open"},
        IniCase{"NulBytesAreOrdinary", std::string("[A]\r\nk=a\0b\r\n", 12), "A", "k",
                std::string("a\0b", 3)},
        IniCase{"EmptyFile", "", "A", "k", ""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(IniFile, MissingFileOrDirectoryGivesEmpty) {
  TempDir dir;
  EXPECT_EQ(readIniValue(dir.file("none.ini"), "A", "k"), "");
  EXPECT_EQ(readIniValue(dir.path(), "A", "k"), "");
}

TEST(IniFile, JunkAndHugeLinesDoNotHurt) {
  TempDir dir;
  std::string junk;
  // Every byte but those that end a line, the file or the section.
  for (int i = 0; i < 200000; ++i) {
    char c = static_cast<char>((i * 7919) % 251 + 1);
    if (c != '\r' && c != '\x1A' && c != '[') junk.push_back(c);
  }
  std::string content = "[A]\r\n" + junk + "\r\n" + "k=" + std::string(3000000, 'x') + "\r\n";
  ASSERT_TRUE(writeFileBytes(dir.file("big.ini"), content));
  EXPECT_EQ(readIniValue(dir.file("big.ini"), "A", "k").size(), 3000000u);
}

TEST(IniFile, NameResolvedThroughPathLayer) {
  TempDir dir;
  ASSERT_TRUE(writeFileBytes(dir.file("quon.ini"), "[Empresa]\r\nNom=ACME\r\n"));
  EXPECT_EQ(readIniValue(dir.path() + "\\QUON.INI", "Empresa", "Nom"), "ACME");
}

}  // namespace
