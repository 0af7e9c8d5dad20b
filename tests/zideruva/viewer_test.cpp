#include "viewer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/session_settings.h"
#include "paths.h"
#include "platform/files.h"
#include "platform/memory_console.h"
#include "ui/keyboard.h"

namespace zideruva {
namespace {

// Three pages: 30 lines 100 columns wide, a short one, and one holding the text searched.
PrintDocument sampleDocument() {
  PrintDocument document;
  Page wide;
  for (int i = 0; i < 30; ++i) {
    std::string line = "line " + std::to_string(i);
    line.resize(100, '.');
    line.back() = '|';
    wide.lines.push_back(line);
  }
  Page shortPage;
  shortPage.lines = {"only line"};
  Page last;
  last.lines = {"", "a Needle here", "", "and a needle there"};
  document.pages = {wide, shortPage, last};
  return document;
}

struct NavigationCase {
  const char* name;
  std::vector<int16_t> keys;
  int page, top, left;
};

TEST(Viewer, KeysMoveThroughThePages) {
  auto repeat = [](int16_t key, int times) { return std::vector<int16_t>(times, key); };
  const NavigationCase cases[] = {
      {"start", {}, 0, 0, 0},
      {"down a line", repeat(KeyDown, 3), 0, 3, 0},
      {"down stops at the last screenful", repeat(KeyDown, 100), 0, 30 - 24, 0},
      {"up stops at the top", {KeyDown, KeyUp, KeyUp}, 0, 0, 0},
      {"next page starts at its top", {KeyDown, KeyPgDn}, 1, 0, 0},
      {"no page beyond the last", repeat(KeyPgDn, 5), 2, 0, 0},
      {"no page before the first", {KeyPgUp}, 0, 0, 0},
      {"end and home", {KeyEnd, KeyHome}, 0, 0, 0},
      {"end", {KeyEnd}, 2, 0, 0},
      {"right by ten", {KeyRight}, 0, 0, 10},
      {"right stops where the page ends", repeat(KeyRight, 5), 0, 0, 100 - 80},
      {"left stops at the first column", {KeyRight, KeyLeft, KeyLeft}, 0, 0, 0},
      {"a narrow page shows from its first column", {KeyRight, KeyPgDn}, 1, 0, 0},
      {"other keys do nothing", {'x', KeyF1, KeyEnter}, 0, 0, 0},
  };
  PrintDocument document = sampleDocument();
  for (const NavigationCase& c : cases) {
    SCOPED_TRACE(c.name);
    ViewerState state;
    for (int16_t key : c.keys) EXPECT_EQ(viewerKey(state, document, key, 25, 80), ViewerAction::None);
    EXPECT_EQ(state.page, c.page);
    EXPECT_EQ(state.top, c.top);
    EXPECT_EQ(state.left, c.left);
  }
}

TEST(Viewer, ActionKeys) {
  PrintDocument document = sampleDocument();
  const std::pair<int16_t, ViewerAction> cases[] = {
      {'P', ViewerAction::Print}, {'p', ViewerAction::Print}, {'S', ViewerAction::SavePdf},
      {'s', ViewerAction::SavePdf}, {KeyEsc, ViewerAction::Leave}};
  for (const auto& [key, action] : cases) {
    ViewerState state;
    EXPECT_EQ(viewerKey(state, document, key, 25, 80), action) << key;
  }
}

TEST(Viewer, DrawsThePartOfThePageInView) {
  PrintDocument document = sampleDocument();
  MemoryConsole screen(25, 80);
  ViewerState state;
  for (int16_t key : {KeyDown, KeyRight}) viewerKey(state, document, key, 25, 80);
  drawViewer(screen, state, document);

  EXPECT_EQ(screen.rowText(1), document.pages[0].lines[1].substr(10, 80));
  EXPECT_EQ(screen.rowText(24), document.pages[0].lines[24].substr(10, 80));
  EXPECT_EQ(screen.cell(1, 1).attribute, 0x07);
  EXPECT_EQ(screen.rowText(25).rfind("P\x85gina 1 de 3  ", 0), 0u) << screen.rowText(25);
  EXPECT_EQ(screen.cell(25, 80).attribute, 0x30);

  viewerKey(state, document, KeyPgDn, 25, 80);
  drawViewer(screen, state, document);
  EXPECT_EQ(screen.rowText(1), std::string("only line").append(71, ' '));
  EXPECT_EQ(screen.rowText(2), std::string(80, ' '));
  EXPECT_EQ(screen.rowText(25).rfind("P\x85gina 2 de 3  ", 0), 0u);

  PrintDocument empty;
  drawViewer(screen, ViewerState{}, empty);
  EXPECT_EQ(screen.text(1, 1, 14), "(llistat buit)");
  EXPECT_EQ(screen.rowText(25).rfind("P\x85gina 0 de 0  ", 0), 0u);
}

void type(ViewerState& state, const PrintDocument& document, const std::string& text) {
  for (char c : text) viewerKey(state, document, static_cast<uint8_t>(c), 25, 80);
}

TEST(Viewer, SearchFindsEachMatchInTurn) {
  PrintDocument document = sampleDocument();
  MemoryConsole screen(25, 80);
  ViewerState state;
  type(state, document, "/NEEDLX");
  viewerKey(state, document, KeyBackspace, 25, 80);
  type(state, document, "E");
  EXPECT_TRUE(state.searching);
  drawViewer(screen, state, document);
  EXPECT_NE(screen.rowText(25).find("Cerca: NEEDLE"), std::string::npos);

  viewerKey(state, document, KeyEnter, 25, 80);
  EXPECT_FALSE(state.searching);
  EXPECT_EQ(state.page, 2);
  EXPECT_EQ(state.top, 0);  // the page is shorter than the screen
  drawViewer(screen, state, document);
  EXPECT_EQ(screen.cell(2, 3).attribute, 0x70);  // "Needle" highlighted
  EXPECT_EQ(screen.cell(2, 8).attribute, 0x70);
  EXPECT_EQ(screen.cell(2, 9).attribute, 0x07);

  const std::pair<int, int> nextMatches[] = {{3, 6}, {1, 2}, {3, 6}};  // line, column
  for (const auto& [line, column] : nextMatches) {
    type(state, document, "/");
    viewerKey(state, document, KeyEnter, 25, 80);  // empty: the same text again
    EXPECT_EQ(state.page, 2);
    EXPECT_EQ(state.matchLine, line);
    EXPECT_EQ(state.matchColumn, column);
  }

  type(state, document, "/line 29");
  viewerKey(state, document, KeyEnter, 25, 80);
  EXPECT_EQ(state.page, 0);
  EXPECT_EQ(state.top, 30 - 24);

  type(state, document, "/absent");
  viewerKey(state, document, KeyEnter, 25, 80);
  EXPECT_EQ(state.page, 0);
  EXPECT_EQ(state.message, "No s'ha trobat: absent");

  type(state, document, "/x");
  viewerKey(state, document, KeyEsc, 25, 80);
  EXPECT_FALSE(state.searching);
  EXPECT_EQ(state.lastSearch, "absent");
}

TEST(Viewer, SearchShiftsToAMatchBeyondTheScreen) {
  PrintDocument document = sampleDocument();
  ViewerState state;
  type(state, document, "/.|");
  viewerKey(state, document, KeyEnter, 25, 80);
  EXPECT_EQ(state.matchColumn, 98);
  EXPECT_EQ(state.left, 100 - 80);
}

class ViewerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    resetKeyboardState();
    resetSessionSettings();
    sessionSettings.tempDir = session.path() + "/";
    setConsole(&screen);
  }
  void TearDown() override { setConsole(nullptr); }
  MemoryConsole screen{25, 80};
  TempDir session;
};

TEST_F(ViewerRun, SavesAPdfAndSaysWhere) {
  screen.pushKey('S');
  screen.pushKey(KeyEsc);
  viewDocument(sampleDocument(), "Dispositiu desconegut: LPT9");
  EXPECT_EQ(readFileBytes(session.file("zideruva.pdf")).value_or("").substr(0, 5), "%PDF-");
  EXPECT_NE(screen.rowText(25).find("Desat a " + session.file("zideruva.pdf")), std::string::npos)
      << screen.rowText(25);
}

TEST_F(ViewerRun, SaveFailureShowsItsReasonWhateverThePathsLength) {
  const std::string deep = session.path() + "/" + std::string(70, 'd');
  ASSERT_TRUE(std::filesystem::create_directories(deep + "/zideruva.pdf"));  // cannot be written
  sessionSettings.tempDir = deep + "/";
  screen.pushKey('S');
  screen.pushKey(KeyEsc);
  viewDocument(sampleDocument(), "");
  EXPECT_NE(screen.rowText(25).find("No s'ha pogut desar: Is a directory ("), std::string::npos)
      << screen.rowText(25);
}

TEST_F(ViewerRun, FirstMessageAndPrintFailureOnTheStatusLine) {
  std::string path = environmentValue("PATH");
  TempDir noPrograms;
  ::setenv("PATH", noPrograms.path().c_str(), 1);
  bool firstShown = false;
  screen.setIdleHandler([&](MemoryConsole& c) {
    if (!firstShown) {
      firstShown = c.rowText(25).find("Dispositiu desconegut: LPT9") != std::string::npos;
      c.pushKey('P');
    } else {
      c.pushKey(KeyEsc);
    }
  });
  viewDocument(sampleDocument(), "Dispositiu desconegut: LPT9");
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_TRUE(firstShown);
  EXPECT_NE(screen.rowText(25).find("No s'ha pogut imprimir: no s'ha trobat l'ordre lp"),
            std::string::npos)
      << screen.rowText(25);
}

}  // namespace
}  // namespace zideruva
