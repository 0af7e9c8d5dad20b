// The whole path in a pseudo-terminal: hortelix on a demo installation, the form confirmed,
// the listing written and handed to ZIDERUVA, which the session's output device sends to a
// text file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "listing_text.h"
#include "paths.h"
#include "platform/files.h"
#include "report_installation.h"

#ifdef KIV_HAVE_VTERM
#include "vterm_screen.h"
#endif

namespace {

#ifdef KIV_HAVE_VTERM

TEST(HortelixRun, ConfirmedFormGivesTheListingOnTheDeviceOfTheSession) {
  TempDir dir;
  const std::string root = dir.file("demo");
  std::string problem;
  ASSERT_TRUE(runKivdata({"demo", root, "--properties", "2", "--date", "20240305"}, problem))
      << problem;
  ASSERT_TRUE(fillRecordFiles("basic", root, problem)) << problem;
  const std::string listing = dir.file("listing.txt");
  const std::string settings = "[Pantalla]\r\nSeleccio=0\r\n[Sistema]\r\nData=20240305\r\n";
  ASSERT_TRUE(writeFileBytes(root + "/SESSIO/QuonTerm.ini",
                             settings + "Sortida=" + listing + "\r\nIdioma=CAT\r\n"));

  VtermScreen terminal(25, 80);
  ASSERT_TRUE(terminal.start(
      {programPath("hortelix")},
      {"KIVROOT=" + root + "/", "KIVTMP=" + root + "/SESSIO/", "KIVEXE=" + binaryDir() + "/"},
      root));
  ASSERT_TRUE(terminal.waitUntil([&] { return terminal.alternateScreen(); }, 60000))
      << terminal.screenText();
  // The form as preset (properties 1 to 999) confirmed: through both fields, "S" on the
  // confirmation panel, and Esc on the form that comes back after the listing (sent again
  // while the module may still be waiting for the print program). Until the form engine
  // runs in the module, its stand-in shows nothing and takes one key.
  int status = -1;
  if (terminal.waitForText("Primera finca", 5000)) {
    terminal.sendKeys("\r\r");
    ASSERT_TRUE(terminal.waitForText("Confirmeu", 30000)) << terminal.screenText();
    terminal.sendKeys("S\r");
    ASSERT_TRUE(terminal.waitUntil([&] { return fileExists(listing); }, 120000))
        << terminal.screenText();
    for (int attempt = 0; attempt < 24 && status == -1; ++attempt) {
      terminal.sendKeys("\x1b");
      status = terminal.waitForExit(5000);
    }
  } else {
    terminal.sendKeys("\r");
    status = terminal.waitForExit(120000);
  }
  ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << terminal.screenText();
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // UTF-8, as the text device writes it; property 1234 lies beyond the range.
  const std::string cCedilla = "\xC3\x87", aGrave = "\xC3\x80";
  const std::string provenca = "C/ DE PROVEN" + cCedilla + "A, 12";
  const std::vector<std::string> expected = {
      placed(
          {{1, "Administraci\xC3\xB3 de Finques Hortal, S.L."}, {85, "P" + aGrave + "GINA    1"}}),
      "",
      placed({{27, "LLISTAT DE DEPARTAMENTS BUITS A 5/3/2024"}}),
      "",
      placed({{1, "REBUT"},
              {11, "ADRE" + cCedilla + "A"},
              {66, "        RENDA"},
              {83, "        RESTA"}}),
      std::string(95, '-'),
      placed({{1, "003001"},
              {11, "C/ ANTIC 3"},
              {52, "BAIXOS"},
              {66, "        10,00"},
              {83, "         0,00"}}),
      placed({{1, "005002"},
              {11, provenca},
              {52, "1r 2a"},
              {66, "       692,00"},
              {83, "        29,50"}}),
      placed({{1, "005003"},
              {11, provenca},
              {52, "BAIXOS"},
              {66, "         0,00"},
              {83, "         0,00"}}),
      placed({{1, "007001"},
              {11, "C/ DE L'" + aGrave + "NGEL 3 BIS"},
              {52, aGrave + "TIC 1a"},
              {66, "       100,50"},
              {83, "        25,00"}}),
      placed({{1, "008001"},
              {11, "RDA. SANT PERE 20"},
              {52, "2n 1a"},
              {66, "    -1.234,56"},
              {83, "        -1,05"}}),
  };
  std::optional<std::string> text = readFileBytes(listing);
  ASSERT_TRUE(text.has_value()) << "no listing at " << listing;
  EXPECT_EQ(listingLines(*text), expected) << *text;
}

#else

TEST(HortelixRun, ConfirmedFormGivesTheListingOnTheDeviceOfTheSession) {
  GTEST_SKIP() << "built without libvterm";
}

#endif

}  // namespace
