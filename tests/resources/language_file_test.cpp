#include "resources/language_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "core/session_settings.h"
#include "paths.h"
#include "platform/files.h"

namespace {

std::vector<std::string> fieldsOf(const std::string& bytes) {
  FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  LanguageFieldReader reader(file);
  std::vector<std::string> fields;
  while (!reader.atEnd()) fields.push_back(reader.nextField());
  EXPECT_EQ(reader.nextField(), "");
  std::fclose(file);
  return fields;
}

using Fields = std::vector<std::string>;

TEST(LanguageFieldReader, SplitsFieldsAsWritten) {
  struct Case {
    std::string bytes;
    Fields expected;
  } cases[] = {
      {"", {}},
      {"a,b\r\nc", {"a", "b", "c"}},
      {"a,b\r\n", {"a", "b"}},
      {"a,\r\n,b", {"a", "", "", "b"}},
      {"   lead, trail  ,x", {"lead", "trail  ", "x"}},
      {"in\tner\nx,y", {"innerx", "y"}},
      {"a\rb", {"a", "b"}},
      {"\"  RENDA\",\"a,b\"", {"  RENDA", "a,b"}},
      {"\"two\r\nlines\"\r\nnext", {"two\r\nlines", "next"}},
      {"\"q\" \t\n,next", {"q", "next"}},
      {"\"q\"\r\nnext", {"q", "next"}},
      {"\"q\"tail,x", {"q", "tail", "x"}},
      {"\"\",\"\"", {"", ""}},
      {"a,\x1A,b", {"a"}},
      {"a\x1A,b", {"a"}},
      {"\"a\x1A\",b", {"a\x1A", "b"}},
      {"\"open to the end", {"open to the end"}},
      {"\"closed\"   ", {"closed"}},
      {"x,   ", {"x", ""}},
      {std::string("n\0l,z", 5), {std::string("n\0l", 3), "z"}},
  };
  for (const Case& c : cases) EXPECT_EQ(fieldsOf(c.bytes), c.expected) << c.bytes;
}

class TranslateTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionSettings();
    sessionSettings.rootDir = root.path() + "/";
    sessionSettings.moduleName = "HORTELIX";
    ::mkdir(root.file("LOCALE").c_str(), 0777);
  }
  void TearDown() override { resetSessionSettings(); }
  std::string languageFile() const { return root.file("LOCALE/HORTELIX.LNG"); }
  void writeLanguageFile(const std::string& bytes) {
    ASSERT_TRUE(writeFileBytes(languageFile(), bytes));
  }
  std::string in(const char* language, const std::string& text) {
    sessionSettings.languageCode = language;
    return translateText(text);
  }
  TempDir root;
};

TEST_F(TranslateTextTest, PicksTheColumnOfTheLanguage) {
  writeLanguageFile(
      "REBUT,RECIBO GL,REBUT OC,RECIBO\r\n"
      "\"        RENDA\",\"        RENDA GL\",\"        RENDA OC\",\"       RENTA\"\r\n"
      "ADRE\x80" "A,ENDERECO,ADRE\x80" "A OC,DIRECCI\xE0N\r\n"
      "BUIT,,,\r\n"
      "REBUT,second,second,second\r\n");
  struct Case {
    const char* language;
    std::string text, expected;
  } cases[] = {
      {"SPA", "REBUT", "RECIBO"},
      {"GLG", "REBUT", "RECIBO GL"},
      {"OCI", "REBUT", "REBUT OC"},
      {"XYZ", "REBUT", "REBUT"},
      {"spa", "REBUT", "REBUT"},
      {"   ", "REBUT", "REBUT"},
      {"SPA", "        RENDA", "       RENTA"},
      {"SPA", "ADRE\x80" "A", "DIRECCI\xE0N"},
      {"SPA", "ADRE\xC7" "A", "ADRE\xC7" "A"},  // the same word in another code page
      {"SPA", "BUIT", ""},
      {"SPA", "rebut", "rebut"},
      {"SPA", "NO HI \x90S", "NO HI \x90S"},
  };
  for (const Case& c : cases) EXPECT_EQ(in(c.language, c.text), c.expected) << c.language;
}

TEST_F(TranslateTextTest, UnquotedLeadingBlanksNeverMatch) {
  writeLanguageFile("   RENDA,a,b,c\r\n");
  EXPECT_EQ(in("SPA", "   RENDA"), "   RENDA");
  EXPECT_EQ(in("SPA", "RENDA"), "c");
}

TEST_F(TranslateTextTest, EntriesCountFieldsNotLines) {
  writeLanguageFile("A,ga,oa,sa,B\r\ngb\r\nob,sb,C,gc\r\n");
  EXPECT_EQ(in("SPA", "A"), "sa");
  EXPECT_EQ(in("OCI", "B"), "ob");
  EXPECT_EQ(in("SPA", "B"), "sb");
  EXPECT_EQ(in("GLG", "C"), "gc");  // cut short: missing fields are empty
  EXPECT_EQ(in("SPA", "C"), "");
}

TEST_F(TranslateTextTest, KeyAloneAtTheEndIsIgnored) {
  writeLanguageFile("A,ga,oa,sa,LAST\r\n");
  EXPECT_EQ(in("SPA", "LAST"), "LAST");
  writeLanguageFile("A,ga,oa,sa,\"LAST");
  EXPECT_EQ(in("SPA", "LAST"), "LAST");
}

TEST_F(TranslateTextTest, CatalanSessionNeverTouchesTheFile) {
  EXPECT_EQ(in("CAT", "REBUT"), "REBUT");
  EXPECT_FALSE(fileExists(languageFile()));
  writeLanguageFile("REBUT,x,y,z\r\n");
  EXPECT_EQ(in("CAT", "REBUT"), "REBUT");
}

TEST_F(TranslateTextTest, OtherSessionCreatesAnEmptyFile) {
  EXPECT_EQ(in("SPA", "REBUT"), "REBUT");
  auto bytes = readFileBytes(languageFile());
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, "");
}

TEST_F(TranslateTextTest, FileFoundWithoutRegardToCase) {
  ::rmdir(root.file("LOCALE").c_str());
  ::mkdir(root.file("locale").c_str(), 0777);
  ASSERT_TRUE(writeFileBytes(root.file("locale/hortelix.lng"), "REBUT,g,o,s\r\n"));
  EXPECT_EQ(in("SPA", "REBUT"), "s");
}

TEST_F(TranslateTextTest, UnusableFilesGiveTheCatalanText) {
  std::string junk;
  for (int i = 0; i < 100000; ++i) junk.push_back(static_cast<char>((i * 131) % 256));
  const std::string cases[] = {
      junk,
      std::string(4000000, 'x'),
      "\"" + std::string(1000000, ','),
      std::string(1000000, '\r'),
      "\x1A" "REBUT,g,o,s\r\n",
  };
  for (const std::string& bytes : cases) {
    writeLanguageFile(bytes);
    EXPECT_EQ(in("SPA", "REBUT"), "REBUT") << bytes.size();
  }
  // No LOCALE directory: nothing can be created or read.
  sessionSettings.rootDir = root.file("missing") + "/";
  EXPECT_EQ(in("SPA", "REBUT"), "REBUT");
  // The language file is a directory.
  sessionSettings.rootDir = root.path() + "/";
  ASSERT_TRUE(removeFile(languageFile()));
  ::mkdir(languageFile().c_str(), 0777);
  EXPECT_EQ(in("SPA", "REBUT"), "REBUT");
}

}  // namespace
