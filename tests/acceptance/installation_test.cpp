// What `cmake --install` lays out under a prefix, the manual pages, and `kivdata init`: an
// empty installation made from the template of the installed prefix, or of the source tree
// for the program in the build tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/ini_file.h"
#include "core/session_settings.h"
#include "installed_system.h"
#include "locale/date_text.h"
#include "locale/numeric_picture.h"
#include "locale/packed_digits.h"
#include "paths.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

// Every file under dir, by its path relative to dir, with its bytes.
std::map<std::string, std::string> filesUnder(const std::string& dir) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(dir, error))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), dir).string()] =
          readFileBytes(entry.path().string()).value_or("");
  return files;
}

bool isExecutable(const std::string& path) {
  std::error_code error;
  const fs::perms perms = fs::status(path, error).permissions();
  return !error && fs::is_regular_file(path) && (perms & fs::perms::owner_exec) != fs::perms::none;
}

// The file's lines that hold a key: neither empty, nor a comment, nor a section header.
std::vector<std::string> keyLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (!line.empty() && line[0] != ';' && line[0] != '[') lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

// What the installation's settings decide: the language, the company, a date and an amount.
struct Outcome {
  std::string language, company, date, amount;
  bool operator==(const Outcome&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "[" << o.language << "|" << o.company << "|" << o.date << "|" << o.amount << "]";
}

class Installed : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(installedPrefix().empty()) << installProblem(); }
  std::string prefix() const { return installedPrefix(); }
  std::string templateDir() const { return prefix() + "/share/hortelix/dist"; }
};

TEST_F(Installed, PutsTheProgramsTheTemplateAndTheManualPagesUnderThePrefix) {
  for (const char* program : {"hortelix", "ZIDERUVA", "kivdata"})
    EXPECT_TRUE(isExecutable(prefix() + "/bin/" + program)) << program;

  const auto source = filesUnder(sourceDir() + "/dist");
  ASSERT_GE(source.count("FORMS/HORTELIX.KPN"), 1u);
  ASSERT_GE(source.count("LOCALE/HORTELIX.LNG"), 1u);
  ASSERT_GE(source.count("ddf/FinquesV.xdf"), 1u);
  EXPECT_EQ(filesUnder(templateDir()), source);

  const auto pages = filesUnder(prefix() + "/share/man/man1");
  for (const char* page : {"hortelix.1", "ZIDERUVA.1", "kivdata.1"}) {
    ASSERT_EQ(pages.count(page), 1u) << page;
    EXPECT_EQ(pages.at(page), readFileBytes(sourceDir() + "/docs/man/" + page).value_or(""))
        << page;
  }
}

// groff reads the pages as man would show them; any warning (an unknown macro, a bad
// escape, a line it cannot set) is a fault of the page.
TEST_F(Installed, ManualPagesFormatWithoutWarnings) {
  if (runProgram({"groff", "--version"}).exitCode != 0)
    GTEST_SKIP() << "groff is not installed (Debian package groff-base)";
  for (const char* page : {"hortelix.1", "ZIDERUVA.1", "kivdata.1"}) {
    const std::string path = prefix() + "/share/man/man1/" + page;
    ProgramRun run = runProgram({"groff", "-man", "-Tutf8", "-ww", "-z", path});
    EXPECT_EQ(run.exitCode, 0) << page;
    EXPECT_EQ(run.errors, "") << page;
    // Plain text, without the overstrikes that make bold.
    ProgramRun shown = runProgram({"groff", "-man", "-Tutf8", "-P-cbou", path});
    EXPECT_NE(shown.output.find("\nNAME\n"), std::string::npos) << page << shown.output;
    EXPECT_NE(shown.output.find("\nSYNOPSIS\n"), std::string::npos) << page;
  }
}

// init from the template the program finds: the installed one (with a mark of its own, so
// a copy from elsewhere shows), or for the program in the build tree the source tree's.
TEST_F(Installed, InitMakesAnEmptyInstallationFromTheTemplateItFinds) {
  const std::string mark = templateDir() + "/AJUDA/MARK.HLP";
  ASSERT_TRUE(writeFileBytes(mark, "installed template"));
  struct Case {
    std::string program, templateDir;
  };
  const Case cases[] = {
      {installedProgram("kivdata"), templateDir()},
      {programPath("kivdata"), sourceDir() + "/dist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    TempDir dir;
    const std::string root = dir.file("kiv");
    ProgramRun run = runProgram({c.program, "init", root});
    ASSERT_EQ(run.exitCode, 0) << run.errors;

    // The template's files, the empty record files and Quon.ini; nothing else.
    auto made = filesUnder(root);
    const auto templateFiles = filesUnder(c.templateDir);
    for (const auto& [name, bytes] : templateFiles) {
      ASSERT_EQ(made.count(name), 1u) << name;
      EXPECT_EQ(made[name], bytes) << name;
      made.erase(name);
    }
    for (const char* name : {"FinquesV", "DepartaV", "TVRebut"}) {
      const std::string file = root + "/DADES/" + name;
      ProgramRun stat = runKivdata({"stat", file});
      EXPECT_EQ(stat.exitCode, 0) << stat.errors;
      EXPECT_NE(stat.output.find("\nrecords: 0\n"), std::string::npos) << stat.output;
      for (auto at = made.begin(); at != made.end();)
        at = at->first.rfind(std::string("DADES/") + name + ".dat", 0) == 0 ? made.erase(at)
                                                                            : std::next(at);
    }
    ASSERT_EQ(made.count("Quon.ini"), 1u);
    // Every key is there but commented out, so each one reads as not set.
    EXPECT_EQ(keyLines(made["Quon.ini"]), std::vector<std::string>{});
    for (const char* key : {"Idioma", "DatCaracter", "DatOrdre", "DecCaracter", "MilCaracter"})
      EXPECT_NE(made["Quon.ini"].find(std::string("\r\n;") + key + "="), std::string::npos)
          << key;
    EXPECT_NE(made["Quon.ini"].find("\r\n[Empresa]\r\n"), std::string::npos);
    made.erase("Quon.ini");
    EXPECT_EQ(made.size(), 0u) << made.begin()->first;
  }
  removeFile(mark);
}

// The values Quon.ini shows commented out are the ones that apply while they are: taking
// every one of them in changes no setting, no date and no amount.
TEST_F(Installed, QuonIniShowsTheDefaultsThatApply) {
  TempDir dir;
  const std::string root = dir.file("kiv");
  ASSERT_EQ(runKivdata({"init", root}).exitCode, 0);
  const std::string commented = readFileBytes(root + "/Quon.ini").value_or("");
  std::string taken = commented;
  for (size_t at = 0; (at = taken.find("\r\n;", at)) != std::string::npos;) {
    const size_t end = taken.find("\r\n", at + 2);
    if (taken.substr(at + 3, end - at - 3).find('=') != std::string::npos) taken.erase(at + 2, 1);
    at += 2;
  }
  ASSERT_GE(keyLines(taken).size(), 6u) << taken;

  auto settingsWith = [&](const std::string& quonIni) {
    EXPECT_TRUE(writeFileBytes(root + "/Quon.ini", quonIni));
    const char* saved = std::getenv("KIVROOT");
    const std::string kept = saved ? saved : "";
    setenv("KIVROOT", (root + "/").c_str(), 1);
    resetSessionSettings();
    resetDateSettings();
    resetNumberSettings();
    loadSessionSettings();
    Outcome outcome{sessionSettings.languageCode, sessionSettings.companyName,
                    formatDate(packDigits("20241231"), 0, "dma"),
                    formatPicture("Z,ZZZ,ZZZ,ZZ9", -123456.0)};
    if (saved) {
      setenv("KIVROOT", kept.c_str(), 1);
    } else {
      unsetenv("KIVROOT");
    }
    resetSessionSettings();
    resetDateSettings();
    resetNumberSettings();
    return outcome;
  };
  const Outcome asMade = settingsWith(commented);
  EXPECT_EQ(settingsWith(taken), asMade);
  EXPECT_EQ(settingsWith(""), asMade);
  // The outcome is worth comparing: the settings do reach dates and amounts.
  std::string changed = taken;
  changed.replace(changed.find("DatOrdre=DMA"), 12, "DatOrdre=AMD");
  EXPECT_NE(settingsWith(changed).date, asMade.date);
}

TEST_F(Installed, InitRefusesADirectoryInUseAndWrongUsage) {
  TempDir dir;
  ASSERT_TRUE(writeFileBytes(dir.file("Quon.ini"), "[Usuari]\r\nIdioma=SPA\r\n"));
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
  };
  const Case cases[] = {
      {{"init", dir.path()}, 1},              // not empty: nothing in it is touched
      {{"init", dir.file("Quon.ini")}, 1},    // a file
      {{"init"}, 2},                          // no directory
      {{"init", dir.file("a"), dir.file("b")}, 2},
  };
  for (const Case& c : cases) {
    ProgramRun run = runKivdata(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.size() << " " << run.errors;
    EXPECT_NE(run.errors, "");
  }
  EXPECT_EQ(readFileBytes(dir.file("Quon.ini")).value_or(""), "[Usuari]\r\nIdioma=SPA\r\n");
  EXPECT_FALSE(fs::exists(dir.file("DADES")));
  EXPECT_FALSE(fs::exists(dir.file("a")));
}

}  // namespace
