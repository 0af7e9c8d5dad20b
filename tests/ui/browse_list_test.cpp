#include "ui/browse_list.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "locale/packed_digits.h"
#include "platform/files.h"
#include "recman/record_manager.h"
#include "records/record_file_table.h"
#include "records/record_layouts.h"
#include "records/record_operations.h"
#include "resources/form_definition.h"
#include "ui/browse_file.h"
#include "ui/browse_hooks.h"
#include "ui/field_editor.h"
#include "ui/form_engine.h"
#include "ui_fixture.h"

namespace {

constexpr int16_t PropertyFile = 506;
constexpr int16_t PropertyList = 1;
constexpr int16_t OtherList = 2;
// The list window: rows 6 to 15 and columns 11 to 40 inside the frame, 10 rows of 30.
constexpr int16_t BoxTop = 5, BoxLeft = 10, BoxBottom = 16, BoxRight = 41;
constexpr int16_t Rows = 10, Cols = 30;
// The address of property 4 fills its 30 characters, so its line is 35 long.
constexpr int LongProperty = 4;
const std::string LongAddress = "AVINGUDA DE LA MARE DE DEU 123";

std::string addressOf(int property) {
  return property == LongProperty ? LongAddress : "CARRER " + std::to_string(property);
}

std::string numberText(int property) {
  std::string digits = std::to_string(property % 1000);
  return std::string(3 - digits.size(), '0') + digits;
}

// The whole line of a property as the list holds it.
std::string lineOf(int property) {
  return numberText(property) + "  " + addressOf(property);
}

// The line shown from column `offset`, cut or padded to `width`.
std::string shown(const std::string& text, size_t offset = 1, size_t width = Cols) {
  std::string part = offset - 1 < text.size() ? text.substr(offset - 1, width) : "";
  part.resize(width, ' ');
  return part;
}

BrowseListDef listDef(int16_t recordFile, const std::string& heading = "", int16_t linkedList = 0) {
  BrowseListDef def;
  def.recordFile = recordFile;
  def.boxTop = BoxTop;
  def.boxLeft = BoxLeft;
  def.boxBottom = BoxBottom;
  def.boxRight = BoxRight;
  def.heading = heading;
  def.linkedList = linkedList;
  return def;
}

// One line of a list file as the layout gives it.
std::string fileLine(int32_t previous, int32_t recordPosition, const std::string& text,
                     std::optional<int16_t> length = std::nullopt) {
  std::string bytes(BrowseLineHeaderSize, '\0');
  const auto put32 = [&](int at, int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(uint32_t(value) >> (8 * i));
  };
  put32(0, previous);
  put32(4, recordPosition);
  const int16_t n = length.value_or(static_cast<int16_t>(text.size()));
  bytes[8] = static_cast<char>(n & 0xFF);
  bytes[9] = static_cast<char>(uint16_t(n) >> 8);
  return bytes + text;
}

struct ParsedLine {
  int32_t position, previous, recordPosition;
  std::string text;
};

// Reads a list file independently of the program's reader.
std::vector<ParsedLine> parseListFile(const std::string& bytes) {
  std::vector<ParsedLine> lines;
  size_t at = 0;
  const auto get32 = [&](size_t i) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | uint8_t(bytes[i + k]);
    return static_cast<int32_t>(v);
  };
  while (at + BrowseLineHeaderSize <= bytes.size()) {
    const size_t length = uint8_t(bytes[at + 8]) | uint8_t(bytes[at + 9]) << 8;
    lines.push_back({int32_t(at + 1), get32(at), get32(at + 4),
                     bytes.substr(at + BrowseLineHeaderSize, length)});
    at += BrowseLineHeaderSize + length;
  }
  EXPECT_EQ(at, bytes.size()) << "list file ends inside a line";
  return lines;
}

// A property file of `count` properties (numbers 1 to count) in a fresh installation root,
// a form with one panel of one numeric field, and list 1 on the property file.
class BrowseListTest : public UiTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root.path() + "/ddf");
    std::filesystem::create_directories(root.path() + "/DADES");
    auto description = readFileBytes(sourceDir() + "/dist/ddf/FinquesV.xdf");
    ASSERT_TRUE(description.has_value());
    ASSERT_TRUE(writeFileBytes(root.path() + "/ddf/FinquesV.xdf", *description));
    sessionSettings.rootDir = root.path() + "/";
    clearRecordFileTable();
    resetRecordVariables();
    resetFieldEditor();
    int16_t status = -1;
    openRecordFile(PropertyFile, sessionSettings.rootDir + "DADES\\FinquesV", propertyRecord.bytes,
                   status);
    ASSERT_EQ(status, 0);

    resetFormModel();
    formModel.panelCount = 1;
    formModel.maxFieldsPerPanel = 1;
    formModel.panels.resize(2);
    formModel.panels[1].fieldCount = 1;
    formModel.panels[1].fields.resize(2);
    FormField& field = formModel.panels[1].fields[1];
    field.row = 2;
    field.labelCol = 2;
    field.label = "Finca: ";
    field.width = 4;
    field.checkKind = CheckNumeric;
    storeFieldValue(field, "1");
    formModel.browseListCount = 2;
    formModel.browseLists.resize(3);
    formModel.browseLists[PropertyList] = listDef(PropertyFile, "FINQUES");
  }

  void TearDown() override {
    int16_t status = 0;
    resetRecordFiles(status);
    clearRecordFileTable();
    resetRecordVariables();
    resetFormModel();
    resetFieldEditor();
  }

  // Panel 2: one free field of 4 characters on row 20, ended by Enter, Esc or F4.
  FormField& addPanel2() {
    formModel.panelCount = 2;
    formModel.panels.resize(3);
    FormPanel& panel = formModel.panels[2];
    panel.exitKeys = "d,1b,3e00";
    panel.fieldCount = 1;
    panel.fields.resize(2);
    FormField& field = panel.fields[1];
    field.row = 20;
    field.labelCol = 2;
    field.label = "Des de: ";
    field.width = 4;
    storeFieldValue(field, "");
    return field;
  }

  RecordFileSlot& slot() { return recordFileTable.slots[findRecordFile(PropertyFile)]; }

  void insertProperties(int count) {
    for (int property = 1; property <= count; ++property) insertProperty(property);
  }

  void insertProperty(int property) {
    std::string record(static_cast<size_t>(slot().recordLength), ' ');
    record.replace(0, 2, packDigits(std::to_string(10000 + property).substr(1)));
    std::string address = addressOf(property);
    address.resize(30, ' ');
    record.replace(8, 30, address);
    std::array<char, 256> key{};
    int32_t length = static_cast<int32_t>(record.size());
    ASSERT_EQ(recordManagerCall(RecordOp::Insert, slot().positionBlock.data(), record.data(),
                                &length, key.data(), 255, 0),
              0);
  }

  // The number of the property in the record variable.
  int pickedProperty() { return std::stoi(unpackDigits(propertyCode(propertyRecord))); }

  // Runs a list with the keys typed one at each wait for a key; before typing key i,
  // checks[i] (when there is one) looks at the screen. Checks what every list must leave
  // behind: no window, colours, exit keys and lock mode as they were, no list file.
  int16_t runList(int16_t list, const std::vector<int16_t>& keys,
                  std::map<size_t, std::function<void()>> checks = {}) {
    size_t next = 0;
    const size_t savedKeys = savedExitKeys.size();
    const std::string colours = colourStack;
    const int16_t lockMode = slot().lockMode;
    screen.setIdleHandler([&](MemoryConsole& console) {
      EXPECT_EQ(slot().lockMode, 0) << "the list reads with locks";
      if (next >= keys.size()) return;
      if (auto check = checks.find(next); check != checks.end()) check->second();
      console.pushKey(keys[next++]);
    });
    int16_t result = 99;
    runBrowseList(list, result);
    screen.setIdleHandler(nullptr);
    EXPECT_EQ(next, keys.size()) << "the list ended before its keys did";
    EXPECT_EQ(windowDepth, 0);
    EXPECT_FALSE(fileExists(stackFile()));
    EXPECT_FALSE(fileExists(browseFileName()));
    EXPECT_EQ(colourStack, colours);
    EXPECT_EQ(savedExitKeys.size(), savedKeys);
    EXPECT_EQ(slot().lockMode, lockMode);
    EXPECT_TRUE(lockModeStack.empty());
    return result;
  }

  // Window row r (1..Rows), as many cells as the window is wide.
  std::string windowRow(int16_t row) {
    return screen.text(static_cast<int16_t>(BoxTop + row), BoxLeft + 1, Cols);
  }
  std::string frameTop() { return screen.text(BoxTop, BoxLeft, Cols + 2); }

  // The rows that show the highlight.
  std::vector<int> highlightedRows() {
    std::vector<int> rows;
    for (int16_t row = 1; row <= Rows; ++row) {
      if (screen.cell(static_cast<int16_t>(BoxTop + row), BoxLeft + 1).attribute == Colour4) {
        rows.push_back(row);
      }
    }
    return rows;
  }

  // The window shows properties first.. on its rows (blank past `last`), the highlight on
  // cursorRow.
  void expectPage(int first, int last, int cursorRow) {
    for (int16_t row = 1; row <= Rows; ++row) {
      const int property = first + row - 1;
      EXPECT_EQ(windowRow(row), property <= last ? shown(lineOf(property)) : shown(""))
          << "window row " << row;
    }
    EXPECT_EQ(highlightedRows(), std::vector<int>{cursorRow});
  }

  std::string listFileBytes() { return readFileBytes(browseFileName()).value_or(""); }

  TempDir root;
};

struct PagingCase {
  const char* name;
  std::vector<int16_t> keys;  // before the Enter that picks
  int firstShown;
  int cursorRow;
  int picked;
};

TEST_F(BrowseListTest, PagesThirtyLinesInTenRows) {
  insertProperties(30);
  const std::vector<int16_t> down9(9, KeyDown);
  auto with = [](std::vector<int16_t> keys, std::vector<int16_t> more) {
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
  };
  const PagingCase cases[] = {
      {"first page", {}, 1, 1, 1},
      {"PgDn keeps the cursor row", {KeyDown, KeyDown, KeyPgDn}, 11, 3, 13},
      {"PgDn on the last page is ignored", {KeyPgDn, KeyPgDn, KeyDown, KeyPgDn}, 21, 2, 22},
      {"Down on the last row scrolls by one", with(down9, {KeyDown, KeyDown}), 3, 10, 12},
      {"Up stops at the first line", {KeyDown, KeyDown, KeyUp, KeyUp, KeyUp}, 1, 1, 1},
      {"Up on the first row scrolls back",
       with(down9, {KeyDown, KeyDown, KeyUp, KeyUp, KeyUp, KeyUp, KeyUp, KeyUp, KeyUp, KeyUp, KeyUp,
                    KeyUp}),
       2, 1, 2},
      {"PgUp from a page at line 6",
       with(down9, {KeyDown, KeyDown, KeyDown, KeyDown, KeyDown, KeyUp, KeyUp, KeyPgUp}), 1, 3, 3},
      {"PgUp back to the top", {KeyPgDn, KeyPgDn, KeyDown, KeyPgUp, KeyPgUp}, 1, 2, 2},
      {"PgUp on the first page", {KeyDown, KeyPgUp}, 1, 2, 2},
      {"Down stops at the last line", with({KeyPgDn, KeyPgDn}, with(down9, {KeyDown})), 21, 10, 30},
  };
  for (const PagingCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int16_t> keys = c.keys;
    keys.push_back(KeyEnter);
    const int16_t result = runList(
        PropertyList, keys, {{c.keys.size(), [&] { expectPage(c.firstShown, 30, c.cursorRow); }}});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(pickedProperty(), c.picked);
  }
}

TEST_F(BrowseListTest, ReadsTheRecordFileOnlyAsFarAsShownAndKeepsEveryLineInTheListFile) {
  insertProperties(30);
  int32_t positionOf7 = 0;
  auto expectLines = [&](size_t count) {
    const std::vector<ParsedLine> lines = parseListFile(listFileBytes());
    ASSERT_EQ(lines.size(), count);
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].previous, i == 0 ? 0 : lines[i - 1].position) << i;
      EXPECT_EQ(lines[i].text, lineOf(int(i) + 1)) << "trailing blanks removed";
      EXPECT_NE(lines[i].recordPosition, 0);
    }
    EXPECT_EQ(lines[0].position, 1);
    positionOf7 = lines[6].recordPosition;
  };
  // Back over the first page and down again reads no more lines.
  const int16_t result = runList(PropertyList, {KeyPgDn, KeyPgUp, KeyPgDn, KeyDown, KeyUp, KeyEsc},
                                 {{0, [&] { expectLines(10); }},
                                  {1, [&] { expectLines(20); }},
                                  {5, [&] { expectLines(20); }}});
  EXPECT_EQ(result, -1);
  // The record positions are the records' own.
  int16_t status = -1;
  findRecord(PropertyFile, 0, packDigits("0007"), 0, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(recordPosition(PropertyFile, 0), positionOf7);
}

TEST_F(BrowseListTest, LongLinesScrollEightColumnsAndTheCornersShowWhatIsHidden) {
  insertProperties(5);
  const std::string bar(Cols, '\xCD');
  struct Case {
    const char* name;
    int16_t boxRight;
    std::string heading;
    std::vector<int16_t> keys;
    std::string top;    // the frame's top line at the last wait
    std::string line4;  // property 4's row then
  };
  const std::string longHeading = "NUM  ADRECA_DE_LA_FINCA DEL CARRER LLARGA";
  const Case cases[] = {
      {"long line",
       BoxRight,
       "N_UM ADRECA",
       {},
       "\xC9N UM\xCD"
       "ADRECA" +
           bar.substr(11) + "\x10",
       shown(lineOf(4))},
      {"Right shows the columns from 9",
       BoxRight,
       "N_UM ADRECA",
       {KeyRight},
       "\x11"
       "ECA" +
           bar.substr(3) + "\xBB",
       shown(lineOf(4), 9)},
      {"a second Right is ignored",
       BoxRight,
       "N_UM ADRECA",
       {KeyRight, KeyRight},
       "\x11"
       "ECA" +
           bar.substr(3) + "\xBB",
       shown(lineOf(4), 9)},
      {"Left goes back",
       BoxRight,
       "N_UM ADRECA",
       {KeyRight, KeyLeft},
       "\xC9N UM\xCD"
       "ADRECA" +
           bar.substr(11) + "\x10",
       shown(lineOf(4))},
      {"wide window, short heading",
       BoxRight + 10,
       "FINQUES",
       {KeyRight},
       "\xC9"
       "FINQUES" +
           std::string(33, '\xCD') + "\xBB",
       shown(lineOf(4), 1, 40)},
      {"wide window, long heading",
       BoxRight + 10,
       longHeading,
       {KeyRight},
       "\xC9NUM\xCD\xCD"
       "ADRECA DE LA FINCA\xCD"
       "DEL\xCD"
       "CARRER\xCD"
       "LLARG\x10",
       shown(lineOf(4), 1, 40)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    formModel.browseLists[PropertyList].boxRight = c.boxRight;
    formModel.browseLists[PropertyList].heading = c.heading;
    const int16_t cols = static_cast<int16_t>(c.boxRight - BoxLeft - 1);
    std::vector<int16_t> keys = c.keys;
    keys.push_back(KeyEsc);
    runList(PropertyList, keys, {{c.keys.size(), [&] {
                                    EXPECT_EQ(screen.text(BoxTop, BoxLeft, int16_t(cols + 2)),
                                              c.top);
                                    EXPECT_EQ(screen.text(BoxTop + 4, BoxLeft + 1, cols), c.line4);
                                  }}});
  }
}

TEST_F(BrowseListTest, KeysThatEndTheList) {
  insertProperties(12);
  struct Case {
    const char* name;
    std::vector<int16_t> keys;
    int16_t result;
    int picked;  // 0: not looked at
  };
  const Case cases[] = {
      {"Enter picks and reads the record back", {KeyEnter}, 0, 1},
      {"Enter on the third line", {KeyDown, KeyDown, KeyEnter}, 0, 3},
      {"Enter after paging", {KeyPgDn, KeyDown, KeyEnter}, 0, 12},
      {"Esc cancels", {KeyDown, KeyEsc}, -1, 0},
      {"another key cancels", {KeyDown, 'x'}, -1, 0},
      {"F4 without a linked list cancels", {KeyF4}, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(runList(PropertyList, c.keys), c.result);
    if (c.picked) {
      EXPECT_EQ(pickedProperty(), c.picked);
    }
  }
}

TEST_F(BrowseListTest, EscDuringTheScanEndsTheListAtTheLinesReadSoFar) {
  insertProperties(30);
  // Esc typed before the list opens is read while the first page is produced.
  screen.pushKey(KeyEsc);
  EXPECT_EQ(runList(PropertyList, {KeyDown, KeyPgDn, KeyEnter},
                    {{0,
                      [&] {
                        expectPage(1, 1, 1);
                        EXPECT_EQ(parseListFile(listFileBytes()).size(), 1u);
                      }}}),
            0);
  EXPECT_EQ(pickedProperty(), 1);

  // Esc typed right behind PgDn stops the scan of the second page after its first line.
  screen.setIdleHandler(nullptr);
  size_t waits = 0;
  screen.setIdleHandler([&](MemoryConsole& console) {
    switch (waits++) {
      case 0:
        console.pushKey(KeyPgDn);
        console.pushKey(KeyEsc);
        break;
      case 1:
        expectPage(11, 11, 1);
        console.pushKey(KeyEnter);
        break;
    }
  });
  int16_t result = 99;
  runBrowseList(PropertyList, result);
  screen.setIdleHandler(nullptr);
  EXPECT_EQ(waits, 2u);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(pickedProperty(), 11);
}

TEST_F(BrowseListTest, ListsWithoutLines) {
  // No property at all: one blank highlighted line, and Enter on it is a cancel.
  EXPECT_EQ(runList(PropertyList, {KeyDown, KeyPgDn, KeyPgUp, KeyEnter},
                    {{3, [&] { expectPage(1, 0, 1); }}}),
            -1);
  // A list without a record file and without a list file is empty, and Enter picks.
  formModel.browseLists[OtherList] = listDef(0);
  EXPECT_EQ(runList(OtherList, {KeyDown, KeyEnter}, {{1, [&] { expectPage(1, 0, 1); }}}), 0);
  // Records that give no line (only list 1 has lines) are read through to the end.
  insertProperties(25);
  formModel.browseLists[OtherList] = listDef(PropertyFile);
  EXPECT_EQ(runList(OtherList, {KeyPgDn, KeyDown, KeyEnter}, {{2, [&] { expectPage(1, 0, 1); }}}),
            -1);
}

// Lists without a record file show what Browse.tmp holds when they open; the file may be
// anyone's, and only whole lines of it are shown.
TEST_F(BrowseListTest, ForeignOrDamagedListFileShowsOnlyItsWholeLines) {
  formModel.browseLists[OtherList] = listDef(0, "LLISTA");
  const std::string a = fileLine(0, 0, lineOf(1));
  const int32_t bAt = int32_t(a.size() + 1);
  const std::string b = fileLine(1, 0, lineOf(2));
  const std::string c = fileLine(bAt, 0, lineOf(3));
  struct Case {
    const char* name;
    std::string bytes;
    int shownLines;
  };
  const Case cases[] = {
      {"three whole lines", a + b + c, 3},
      {"a negative length", a + b + fileLine(bAt, 0, "XX", -2), 2},
      {"a text running past the end", a + b + fileLine(bAt, 0, "XX", 500), 2},
      {"the longest text on a short file", a + b + fileLine(bAt, 0, "XX", 32767), 2},
      {"a header cut short", a + b + c.substr(0, 6), 2},
      {"a backward chain pointing forward", a + fileLine(900, 0, lineOf(2)) + c, 3},
      {"a backward chain pointing at itself", a + fileLine(bAt, 0, lineOf(2)) + c, 3},
      {"a negative backward position", a + fileLine(-5, 0, lineOf(2)) + c, 3},
      {"an empty file", "", 0},
  };
  const std::vector<int16_t> keys = {KeyDown, KeyDown, KeyDown, KeyDown,  KeyPgDn, KeyPgUp,
                                     KeyUp,   KeyUp,   KeyUp,   KeyRight, KeyLeft};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ASSERT_TRUE(writeFileBytes(browseFileName(), k.bytes));
    std::vector<int16_t> script = keys;
    script.push_back(KeyEnter);
    const int16_t result =
        runList(OtherList, script,
                {{keys.size(), [&] {
                    for (int16_t row = 1; row <= Rows; ++row) {
                      EXPECT_EQ(windowRow(row), shown(row <= k.shownLines ? lineOf(row) : ""))
                          << "row " << row;
                    }
                  }}});
    EXPECT_EQ(result, 0);
  }
}

// Files of random bytes, and good files with random bytes overwritten: whatever the list
// meets, it ends on the key that ends it and leaves the screen as it found it.
TEST_F(BrowseListTest, RandomListFilesNeverDerailTheList) {
  formModel.browseLists[OtherList] = listDef(0);
  std::string good;
  int32_t previous = 0;
  for (int property = 1; property <= 25; ++property) {
    const int32_t position = int32_t(good.size() + 1);
    good += fileLine(previous, property, lineOf(property));
    previous = position;
  }
  std::mt19937 random(20240611);
  fillPattern();
  const std::string before = snapshot();
  for (int round = 0; round < 60; ++round) {
    std::string bytes;
    if (round % 2 == 0) {
      bytes.resize(random() % 400);
      for (char& byte : bytes) byte = static_cast<char>(random());
    } else {
      bytes = good;
      for (int n = 0; n < 6; ++n) bytes[random() % bytes.size()] = static_cast<char>(random());
    }
    ASSERT_TRUE(writeFileBytes(browseFileName(), bytes));
    std::vector<int16_t> keys;
    for (int n = 0; n < 20; ++n) {
      const int16_t moves[] = {KeyDown, KeyUp, KeyPgDn, KeyPgUp, KeyRight, KeyLeft};
      keys.push_back(moves[random() % 6]);
    }
    keys.push_back(round % 3 == 0 ? KeyEsc : KeyEnter);
    SCOPED_TRACE(round);
    EXPECT_EQ(runList(OtherList, keys), round % 3 == 0 ? -1 : 0);
    ASSERT_EQ(firstDifference(snapshot(), before), "");
  }
}

TEST_F(BrowseListTest, F4OpensTheLinkedListInPlaceOfThisOne) {
  insertProperties(30);
  // List 2 shows a list file made beforehand and links to list 1, whose window lies lower
  // and further right.
  formModel.browseLists[OtherList] = listDef(0, "ALTRA", PropertyList);
  formModel.browseLists[PropertyList].boxTop = BoxTop + 3;
  formModel.browseLists[PropertyList].boxLeft = BoxLeft + 20;
  formModel.browseLists[PropertyList].boxBottom = BoxBottom + 3;
  formModel.browseLists[PropertyList].boxRight = BoxRight + 20;
  const std::string outerLines = fileLine(0, 0, "PRIMERA") + fileLine(1, 0, "SEGONA");
  fillPattern();
  const std::string before = snapshot();
  const std::string field = formModel.panels[1].fields[1].value;

  auto linkedOpen = [&] {
    EXPECT_EQ(windowDepth, 2);
    EXPECT_EQ(frameTop().substr(1, 5), "ALTRA");
    EXPECT_EQ(windowRow(1), shown("PRIMERA"));
    EXPECT_EQ(screen.text(BoxTop + 3, BoxLeft + 21, 7), "FINQUES");
    EXPECT_EQ(screen.text(BoxTop + 4, BoxLeft + 21, Cols), shown(lineOf(1)));
    EXPECT_EQ(parseListFile(listFileBytes()).size(), 10u) << "a list file of its own";
  };
  ASSERT_TRUE(writeFileBytes(browseFileName(), outerLines));
  EXPECT_EQ(runList(OtherList, {KeyDown, KeyF4, KeyDown, KeyDown, KeyEnter}, {{2, linkedOpen}}), 0);
  EXPECT_EQ(pickedProperty(), 3);
  EXPECT_EQ(formModel.panels[1].fields[1].value, field) << "a linked pick names no field";
  EXPECT_EQ(firstDifference(snapshot(), before), "");

  ASSERT_TRUE(writeFileBytes(browseFileName(), outerLines));
  EXPECT_EQ(runList(OtherList, {KeyF4, KeyEsc}), -1);
  EXPECT_EQ(firstDifference(snapshot(), before), "");
}

TEST_F(BrowseListTest, FilterPanelComesFirstAndEscOnItCancels) {
  insertProperties(3);
  FormField& field = addPanel2();
  formModel.browseLists[PropertyList].filterPanel = 2;

  EXPECT_EQ(runList(PropertyList, {'7', KeyEsc}), -1);
  EXPECT_EQ(screen.text(BoxTop, BoxLeft, 1), " ") << "the list never opened";
  EXPECT_EQ(runList(PropertyList, {'7', KeyEnter, KeyDown, KeyEnter}), 0);
  EXPECT_EQ(field.value, "7   ");
  EXPECT_EQ(pickedProperty(), 2);
}

TEST_F(BrowseListTest, F4OnAFormFieldPutsThePickedPropertyIntoIt) {
  insertProperties(30);
  insertProperty(1234);
  FormField& field = addPanel2();
  field.browseList = PropertyList;
  setBrowseListHandler(runBrowseList, storeBrowsePick);
  struct Case {
    const char* name;
    std::vector<int16_t> keys;
    std::string value;
  };
  const Case cases[] = {
      {"the third property", {KeyF4, KeyDown, KeyDown, KeyEnter}, "003 "},
      {"a number above 999 shows its last three digits",
       {KeyF4, KeyPgDn, KeyPgDn, KeyPgDn, KeyDown, KeyEnter},
       "234 "},
      {"a cancelled list changes nothing", {KeyF4, KeyDown, KeyEsc, KeyEnter}, "1   "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    storeFieldValue(field, "1");
    size_t next = 0;
    screen.setIdleHandler([&](MemoryConsole& console) {
      if (next < c.keys.size()) console.pushKey(c.keys[next++]);
    });
    int16_t key = 0;
    runFormPanel(2, 0, 0, key);
    screen.setIdleHandler(nullptr);
    EXPECT_EQ(next, c.keys.size());
    EXPECT_EQ(key, KeyEnter);
    EXPECT_EQ(field.value, c.value);
  }
  setBrowseListHandler(nullptr, nullptr);
}

TEST_F(BrowseListTest, AListThatCannotBeShownIsCancelled) {
  insertProperties(3);
  struct Case {
    const char* name;
    int16_t list;
    BrowseListDef def;
  };
  BrowseListDef flat = listDef(PropertyFile);
  flat.boxBottom = flat.boxTop + 1;
  BrowseListDef offScreen = listDef(PropertyFile);
  offScreen.boxBottom = 26;
  const Case cases[] = {
      {"no such list", 3, listDef(PropertyFile)},
      {"list slot 0", 0, listDef(PropertyFile)},
      {"a window without rows", OtherList, flat},
      {"a window off the screen", OtherList, offScreen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    formModel.browseLists[OtherList] = c.def;
    EXPECT_EQ(runList(c.list, {}), -1);
  }
}

TEST_F(BrowseListTest, PropertyListHooks) {
  insertProperties(4);
  int16_t status = -1;
  findRecord(PropertyFile, 0, packDigits("0004"), 0, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(browseRowText(PropertyList), "004  " + LongAddress);
  findRecord(PropertyFile, 0, packDigits("0002"), 0, status);
  EXPECT_EQ(browseRowText(PropertyList), "002  CARRER 2" + std::string(22, ' '));
  EXPECT_EQ(browseRowText(OtherList), "");
  // Property numbers above 999 show their last three digits.
  propertyRecord.bytes[0] = 0x8C;  // 12
  propertyRecord.bytes[1] = 0xA2;  // 34
  EXPECT_EQ(browseRowText(PropertyList).substr(0, 5), "234  ");

  std::string from = "X", to = "Y";
  EXPECT_EQ(browseKeyRange(PropertyList, from, to), 0);
  EXPECT_EQ(from + to, "");

  std::string& value = formModel.panels[1].fields[1].value;
  storeBrowsePick(OtherList, 1, 1);
  EXPECT_EQ(value, "1   ");
  storeBrowsePick(PropertyList, 0, 0);
  EXPECT_EQ(value, "1   ");
  storeBrowsePick(PropertyList, 1, 1);
  EXPECT_EQ(value, "234 ");
}

}  // namespace
