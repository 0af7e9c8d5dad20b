// The form in the running module: hortelix on a demo installation in a pseudo-terminal, read
// through a terminal emulator. The form as it first shows, a range typed and confirmed with
// s, the listing of that range in the print file, in each of the four languages; Esc on the
// form that comes back ends the run with 0 and gives the terminal back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "paths.h"
#include "platform/files.h"

#ifdef KIV_HAVE_VTERM
#include <vterm.h>

#include "vterm_screen.h"
#endif

namespace {

bool runTool(const std::vector<std::string>& arguments) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    std::vector<std::string> words = {programPath("kivdata")};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The fields of one CSV line (double quotes around fields that hold commas).
std::vector<std::string> csvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  return fields;
}

std::string threeDigits(int number) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", number % 1000);
  return text;
}

// The listed numbers of the vacant apartments of properties from..to, from an export of the
// apartment file: last three digits of the property, then of the apartment.
std::set<std::string> vacantApartments(const std::string& csv, int from, int to) {
  std::set<std::string> numbers;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  const std::vector<std::string> names = csvFields(line);
  size_t tenant = 0;
  while (tenant < names.size() && names[tenant] != "tenant") ++tenant;
  while (std::getline(lines, line)) {
    const std::vector<std::string> fields = csvFields(line);
    if (fields.size() <= tenant || std::stol(fields[tenant]) != 0) continue;
    const int property = std::stoi(fields[0]);
    if (property >= from && property <= to)
      numbers.insert(threeDigits(property) + threeDigits(std::stoi(fields[1])));
  }
  return numbers;
}

// Texts the print file places in column 1 that are six digits: the listed apartments.
std::set<std::string> listedApartments(const std::string& printFile) {
  std::set<std::string> numbers;
  std::istringstream lines(printFile);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(" 1 ,", 0) != 0) continue;
    const size_t last = line.rfind(',');
    const std::string text = line.substr(4, last - 4);
    if (text.size() == 6 && text.find_first_not_of("0123456789") == std::string::npos)
      numbers.insert(text);
  }
  return numbers;
}

#ifdef KIV_HAVE_VTERM

struct Language {
  std::string code;
  std::string fromLabel, toLabel, answerLabel;  // as the form shows them
  std::string numberHeading, title;             // as the print file holds them
};

const Language kLanguages[] = {
    {"CAT", "Primera finca: ", "Darrera finca: ", "Confirmeu el llistat (S/N): ", "REBUT",
     "LLISTAT DE DEPARTAMENTS BUITS A "},
    {"SPA", "Primera finca: ", "\xE9ltima finca:  ", "Confirme el listado (S/N): ", "RECIBO",
     "LISTADO DE DEPARTAMENTOS VAC\xD6OS A "},
    {"GLG", "Primeira finca: ", "\xE9ltima finca:   ", "Confirme a listaxe (S/N): ", "RECIBO",
     "LISTAXE DE DEPARTAMENTOS BALEIROS A "},
    {"OCI", "Prum\x8Ara finca: ", "Darr\x8Ara finca: ", "Confirmatz eth listat (S/N): ", "RECEBUT",
     "LISTAT DE DEPARTAMENTS LIURES A "},
};

class FormRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        runTool({"demo", root(), "--properties", "30", "--seed", "3", "--date", "20240305"}));
    ASSERT_TRUE(runTool({"export", "apartments", root() + "/DADES/DepartaV", dir.file("a.csv")}));
    apartments = readFileBytes(dir.file("a.csv")).value_or("");
  }
  std::string root() const { return dir.file("demo"); }

  // The session in this language, its listings written as text.
  void useLanguage(const std::string& code) {
    ASSERT_TRUE(writeFileBytes(root() + "/SESSIO/QuonTerm.ini",
                               "[Pantalla]\r\nSeleccio=0\r\nCol0=15011401000715040003\r\n"
                               "[Sistema]\r\nData=20240305\r\nSortida=" +
                                   listing() + "\r\nIdioma=" + code + "\r\n"));
    removeFile(listing());
  }
  std::string listing() const { return dir.file("listing.txt"); }

  bool start(VtermScreen& terminal) {
    return terminal.start(
        {programPath("hortelix")},
        {"KIVROOT=" + root() + "/", "KIVTMP=" + root() + "/SESSIO/", "KIVEXE=" + binaryDir() + "/"},
        root());
  }

  TempDir dir;
  std::string apartments;
};

TEST_F(FormRun, ShowsTheFormAndListsTheConfirmedRange) {
  for (const Language& language : kLanguages) {
    SCOPED_TRACE(language.code);
    useLanguage(language.code);
    VtermScreen terminal(25, 80);
    ASSERT_TRUE(start(terminal));
    // Panel 1 in its box, the labels in the session's language, the presets 1 and 999.
    ASSERT_TRUE(terminal.waitForText(language.fromLabel + "1   ", 60000)) << terminal.screenText();
    EXPECT_EQ(terminal.rowText(10).substr(30, language.fromLabel.size() + 4),
              language.fromLabel + "1   ");
    EXPECT_EQ(terminal.rowText(12).substr(30, language.toLabel.size() + 4),
              language.toLabel + "999 ");
    EXPECT_EQ(terminal.rowText(8).substr(19, 3), "\xC9\xCD\xCD");
    EXPECT_EQ(terminal.rowText(14).substr(58, 3), "\xCD\xCD\xBC");
    EXPECT_EQ(terminal.rowText(1).find(" LLISTAT DE DEPARTAMENTS BUITS "), 24u);

    // From 4 to 20: Ctrl+Y empties a field; Enter ends the panel and asks for S.
    terminal.sendKeys(
        "\x19"
        "4");
    terminal.pressKey(VTERM_KEY_DOWN);
    terminal.sendKeys(
        "\x19"
        "20\r");
    ASSERT_TRUE(terminal.waitForText(language.answerLabel, 30000)) << terminal.screenText();
    terminal.sendKeys("s\r");
    ASSERT_TRUE(terminal.waitUntil([&] { return fileExists(listing()); }, 120000))
        << terminal.screenText();

    // The form comes back with the range typed; Esc on its first field ends the run.
    ASSERT_TRUE(terminal.waitForText(language.toLabel + "20  ", 60000)) << terminal.screenText();
    terminal.sendKeys("\x1b");
    const int status = terminal.waitForExit(60000);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(terminal.alternateScreen());
    const termios settings = terminal.terminalSettings();
    EXPECT_TRUE(settings.c_lflag & ICANON);
    EXPECT_TRUE(settings.c_lflag & ECHO);

    const std::string printFile = readFileBytes(root() + "/SESSIO/zideruva.tmp").value_or("");
    EXPECT_NE(printFile.find("," + language.numberHeading + ","), std::string::npos) << printFile;
    EXPECT_NE(printFile.find("," + language.title + "5/3/2024"), std::string::npos) << printFile;
    const std::set<std::string> expected = vacantApartments(apartments, 4, 20);
    EXPECT_GE(expected.size(), 5u);
    EXPECT_EQ(listedApartments(printFile), expected);
  }
}

#else

TEST(FormRun, ShowsTheFormAndListsTheConfirmedRange) {
  GTEST_SKIP() << "built without libvterm";
}

#endif

}  // namespace
