#include "core/session_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "environment_guard.h"
#include "locale/numeric_picture.h"
#include "paths.h"
#include "platform/files.h"

namespace {

using ColourTable = std::array<std::array<int16_t, 2>, 5>;
const ColourTable kDefaultColours = {{{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}}};

// A session directory (KIVTMP) and an installation root (KIVROOT) in a scratch directory.
class SessionSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionSettings();
    resetNumberSettings();
    ::mkdir(sessionDir().c_str(), 0777);
    ::mkdir(rootDir().c_str(), 0777);
    env.set("KIVTMP", sessionDir());
    env.set("KIVROOT", rootDir() + "/");
  }
  void TearDown() override {
    resetSessionSettings();
    resetNumberSettings();
  }

  std::string sessionDir() const { return scratch.file("session"); }
  std::string rootDir() const { return scratch.file("root"); }
  void writeSession(const std::string& name, const std::string& text) {
    ASSERT_TRUE(writeFileBytes(sessionDir() + "/" + name, text));
  }
  void writeRoot(const std::string& text) {
    ASSERT_TRUE(writeFileBytes(rootDir() + "/Quon.ini", text));
  }

  EnvironmentGuard env;
  TempDir scratch;
};

TEST_F(SessionSettingsTest, ReadsEveryFileAndVariable) {
  env.set("KIVEXE", "/opt/kiv/bin/");
  writeSession("Sessio.ini",
               "[Menu]\r\nTitol=Pisos buits\r\nNomMenu=LLBUITS\r\n[Terminal]\r\nDir=T7\r\n");
  writeSession("QuonTerm.ini",
               "[Pantalla]\r\nSeleccio=2\r\nCol2=01020304050607080910\r\n"
               "[Sistema]\r\nData=20240315\r\nSortida=PDF\\llistat\r\nIdioma=SPA\r\n");
  writeRoot("[Usuari]\r\nIdioma=GLG\r\n[Empresa]\r\nNom=Finques Quon SL\r\n");
  loadSessionSettings();

  const SessionSettings& s = sessionSettings;
  EXPECT_EQ(s.rootDir, rootDir() + "/");
  EXPECT_EQ(s.exeDir, "/opt/kiv/bin/");
  EXPECT_EQ(s.tempDir, sessionDir() + "/");
  EXPECT_EQ(s.terminalDir, "T7\\");
  EXPECT_EQ(s.menuTitle, " Pisos buits ");
  EXPECT_EQ(s.menuName, "LLBUITS");
  EXPECT_EQ(s.colourTable, (ColourTable{{{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}}));
  EXPECT_EQ(s.sessionDate, "\x94\x98\x83\x8F");  // 20 24 03 15, packed
  EXPECT_EQ(s.outputDevice, "PDF\\llistat");
  EXPECT_EQ(numberSettings.alternateCurrency, "E");
  EXPECT_EQ(numberSettings.activeCurrency, "");
  EXPECT_EQ(s.languageCode, "SPA");
  EXPECT_EQ(s.terminalKind, "DOS");
  EXPECT_EQ(s.companyName, "Finques Quon SL");
  EXPECT_EQ(s.moduleName, "");
}

TEST_F(SessionSettingsTest, NothingConfiguredGivesTheDefaults) {
  loadSessionSettings();
  const SessionSettings& s = sessionSettings;
  EXPECT_EQ(s.menuTitle, "  ");
  EXPECT_EQ(s.menuName, "");
  EXPECT_EQ(s.terminalDir, "");
  EXPECT_EQ(s.colourTable, kDefaultColours);
  EXPECT_EQ(s.sessionDate, "");
  EXPECT_EQ(s.outputDevice, "");
  EXPECT_EQ(s.languageCode, "   ");
  EXPECT_EQ(s.companyName, "");
}

TEST_F(SessionSettingsTest, SessionDirectoryGetsItsSeparator) {
  struct Case {
    std::string kivtmp, expected;
  } cases[] = {{"C:\\TMP", "C:\\TMP\\"}, {"C:", "C:"},          {"C:\\TMP\\", "C:\\TMP\\"},
               {"/tmp/s", "/tmp/s/"},    {"/tmp/s/", "/tmp/s/"}, {"rel", "rel\\"}};
  for (const Case& c : cases) {
    env.set("KIVTMP", c.kivtmp);
    loadSessionSettings();
    EXPECT_EQ(sessionSettings.tempDir, c.expected) << c.kivtmp;
  }
}

// Without KIVTMP the session files are looked for in the current directory, and the
// terminal directory becomes the session directory.
TEST_F(SessionSettingsTest, TerminalDirectoryStandsInForMissingSessionDirectory) {
  ::unsetenv("KIVTMP");
  ASSERT_EQ(::chdir(sessionDir().c_str()), 0);
  writeSession("Sessio.ini", "[Terminal]\r\nDir=T1\r\n");
  ::mkdir((sessionDir() + "/T1").c_str(), 0777);
  writeSession("T1/QuonTerm.ini", "[Sistema]\r\nSortida=PANTALLA\r\n");
  loadSessionSettings();
  EXPECT_EQ(sessionSettings.terminalDir, "T1\\");
  EXPECT_EQ(sessionSettings.tempDir, "T1\\");
  EXPECT_EQ(sessionSettings.outputDevice, "PANTALLA");
}

TEST_F(SessionSettingsTest, TermCountsOnlyWhenItNamesADirectory) {
  struct Case {
    std::string term, expected;
  } cases[] = {{"xterm-256color", ""}, {"", ""}, {sessionDir(), sessionDir() + "/"}};
  for (const Case& c : cases) {
    env.set("TERM", c.term);
    loadSessionSettings();
    EXPECT_EQ(sessionSettings.terminalDir, c.expected) << c.term;
  }
  // A directory named in Sessio.ini is taken as written.
  writeSession("Sessio.ini", "[Terminal]\r\nDir=C:\\TERM01\r\n");
  env.set("TERM", "xterm");
  loadSessionSettings();
  EXPECT_EQ(sessionSettings.terminalDir, "C:\\TERM01\\");
}

TEST_F(SessionSettingsTest, LanguageFromTerminalFileThenUserFile) {
  struct Case {
    const char* terminalLine;  // the Idioma line of QuonTerm.ini, or none
    const char* userLine;      // the Idioma line of Quon.ini, or none
    const char* expected;
  } cases[] = {
      {"Idioma=SPA", "Idioma=GLG", "SPA"}, {"Idioma=   ", "Idioma=GLG", "GLG"},
      {nullptr, "Idioma=OCI", "OCI"},      {"Idioma=spa", "Idioma=GLG", "spa"},
      {"Idioma=CATALA", nullptr, "CAT"},   {"Idioma=ES", nullptr, "ES "},
      {nullptr, nullptr, "   "},           {nullptr, "Idioma=  x", "  x"},
  };
  for (const Case& c : cases) {
    writeSession("QuonTerm.ini", std::string("[Sistema]\r\n") +
                                     (c.terminalLine ? c.terminalLine : "") + "\r\n");
    writeRoot(std::string("[Usuari]\r\n") + (c.userLine ? c.userLine : "") + "\r\n");
    loadSessionSettings();
    EXPECT_EQ(sessionSettings.languageCode, c.expected)
        << (c.terminalLine ? c.terminalLine : "-") << " / " << (c.userLine ? c.userLine : "-");
  }
}

TEST_F(SessionSettingsTest, ColourSchemeSelectedAndSplitIntoPairs) {
  const std::string schemes =
      "Col0=01000200030004000500\r\nCol3=11001200130014001500\r\n"
      "Col-1=09080706050403020100\r\nCol4=1500\r\nCol5=    \r\nCol6=1x 7\r\n";
  struct Case {
    const char* selection;  // the Seleccio line, or none
    ColourTable expected;
  } cases[] = {
      {nullptr, {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}}},
      {"Seleccio=3", {{{11, 0}, {12, 0}, {13, 0}, {14, 0}, {15, 0}}}},
      {"Seleccio= 3 colors", {{{11, 0}, {12, 0}, {13, 0}, {14, 0}, {15, 0}}}},
      {"Seleccio=2.6", {{{11, 0}, {12, 0}, {13, 0}, {14, 0}, {15, 0}}}},
      {"Seleccio=-1", {{{9, 8}, {7, 6}, {5, 4}, {3, 2}, {1, 0}}}},
      {"Seleccio=65539", {{{11, 0}, {12, 0}, {13, 0}, {14, 0}, {15, 0}}}},
      {"Seleccio=quatre", {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}}},
      {"Seleccio=4", {{{15, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}}},
      {"Seleccio=5", {}},
      {"Seleccio=6", {{{1, 7}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}}},
      {"Seleccio=7", kDefaultColours},
      {"Seleccio=1e300", {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}}},  // low 16 bits: 0
  };
  for (const Case& c : cases) {
    writeSession("QuonTerm.ini", std::string("[Pantalla]\r\n") +
                                     (c.selection ? c.selection : "") + "\r\n" + schemes);
    loadSessionSettings();
    EXPECT_EQ(sessionSettings.colourTable, c.expected) << (c.selection ? c.selection : "-");
  }
}

TEST_F(SessionSettingsTest, TerminalKindFromEnvironment) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> variables;
    const char* expected;
  } cases[] = {
      {{}, "DOS"},
      {{{"HTTP_USER_AGENT", "Mozilla"}}, "CGI"},
      {{{"HTTP_ACCEPT", "text/html"}}, "CGI"},
      {{{"HTTP_ACCEPT", "text/html"}, {"WINDIR", "C:\\WINDOWS"}}, "CGI"},
      {{{"WINDIR", "C:\\WINDOWS"}}, "WIN"},
      {{{"SYSTEMROOT", "C:\\WINNT"}}, "WIN"},
      {{{"WINDIR", ""}}, "DOS"},
  };
  for (const Case& c : cases) {
    for (const char* name : {"HTTP_USER_AGENT", "HTTP_ACCEPT", "WINDIR", "SYSTEMROOT"})
      ::unsetenv(name);
    for (const auto& [name, value] : c.variables) env.set(name, value);
    loadSessionSettings();
    EXPECT_EQ(sessionSettings.terminalKind, c.expected) << c.variables.size();
  }
}

// The root is used exactly as set: without its final separator the user file is the root
// name followed by "Quon.ini".
TEST_F(SessionSettingsTest, RootIsNeverGivenASeparator) {
  env.set("KIVROOT", scratch.file("APP"));
  ASSERT_TRUE(writeFileBytes(scratch.file("APPQuon.ini"), "[Usuari]\r\nIdioma=OCI\r\n"));
  loadSessionSettings();
  EXPECT_EQ(sessionSettings.rootDir, scratch.file("APP"));
  EXPECT_EQ(sessionSettings.languageCode, "OCI");
}

TEST_F(SessionSettingsTest, ResetGoesBackToStartState) {
  writeSession("Sessio.ini", "[Menu]\r\nTitol=X\r\n");
  loadSessionSettings();
  sessionSettings.moduleName = "HORTELIX";
  resetSessionSettings();
  const SessionSettings fresh;
  EXPECT_EQ(sessionSettings.menuTitle, fresh.menuTitle);
  EXPECT_EQ(sessionSettings.moduleName, "");
  EXPECT_EQ(sessionSettings.languageCode, "   ");
  EXPECT_EQ(sessionSettings.terminalKind, "DOS");
  EXPECT_EQ(sessionSettings.rootDir, "");
}

}  // namespace
