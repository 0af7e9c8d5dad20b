#include "ui/window_stack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/files.h"
#include "ui_fixture.h"

namespace {

int32_t freePosition(const std::string& file) {
  return static_cast<int32_t>(static_cast<uint8_t>(file[0]) | static_cast<uint8_t>(file[1]) << 8 |
                              static_cast<uint8_t>(file[2]) << 16 |
                              static_cast<uint32_t>(static_cast<uint8_t>(file[3])) << 24);
}

std::string withFreePosition(std::string file, int32_t position) {
  for (int i = 0; i < 4; ++i) file[i] = static_cast<char>((static_cast<uint32_t>(position) >> (8 * i)) & 0xFF);
  return file;
}

bool sameBox(const WindowBox& box, int16_t top, int16_t left, int16_t bottom, int16_t right) {
  return box.windowTop == top && box.windowLeft == left && box.windowBottom == bottom &&
         box.windowRight == right;
}

}  // namespace

class WindowStackTest : public UiTest {
 protected:
  std::string file() { return readFileBytes(stackFile()).value_or(""); }
  bool fileExists() { return std::filesystem::exists(stackFile()); }
};

TEST_F(WindowStackTest, RecordOfAWindowOverRowsFourToTwentyTwo) {
  fillPattern();
  screen.setCursor(7, 33);
  const std::string before = snapshot();

  ASSERT_TRUE(openWindow(4, 1, 22, 80));

  const std::string stack = file();
  ASSERT_EQ(stack.size(), 4u + 3065u);
  EXPECT_EQ(freePosition(stack), 3070);
  EXPECT_EQ(stack.substr(4, 20), "07330000000004012280");
  // The covered cells row by row, character then attribute, as the screen held them.
  EXPECT_EQ(stack.substr(24, 2 * 19 * 80), before.substr(2 * 3 * 80, 2 * 19 * 80));
  EXPECT_EQ(stack.substr(stack.size() - 5), "03065");
  // Opening draws nothing and keeps the cursor.
  EXPECT_EQ(firstDifference(snapshot(), before), "");
  int16_t row = 0, column = 0;
  screen.getCursor(row, column);
  EXPECT_EQ(row, 7);
  EXPECT_EQ(column, 33);
  EXPECT_EQ(windowDepth, 1);
  EXPECT_TRUE(sameBox(windowBox, 4, 1, 22, 80));
}

TEST_F(WindowStackTest, NestedWindowsCloseInnermostFirst) {
  fillPattern();
  screen.setCursor(2, 3);
  const std::string original = snapshot();

  setColour("+n");
  openWindow(3, 5, 12, 40);
  drawFrame(2);
  locateInWindow(1, 1);
  screen.writeText("outer");
  const std::string withOuter = snapshot();
  const std::string outerRecord = file();

  setColour("+u");
  openWindow(6, 20, 9, 60);
  drawFrame(1);
  locateInWindow(1, 1);
  screen.writeText("inner");
  EXPECT_EQ(windowDepth, 2);
  const std::string both = file();
  ASSERT_EQ(both.size(), outerRecord.size() + 25 + 2 * 4 * 41);
  // The inner record names the outer box as the one before it.
  EXPECT_EQ(both.substr(outerRecord.size(), 20), "04110305124006200960");

  closeWindow();
  setColour("-");
  EXPECT_EQ(firstDifference(snapshot(), withOuter), "");
  EXPECT_EQ(windowDepth, 1);
  EXPECT_TRUE(sameBox(windowBox, 3, 5, 12, 40));
  EXPECT_EQ(freePosition(file()), static_cast<int32_t>(outerRecord.size()) + 1);
  int16_t row = 0, column = 0;
  screen.getCursor(row, column);
  EXPECT_EQ(row, 4);  // where "outer" left it
  EXPECT_EQ(column, 11);

  closeWindow();
  EXPECT_EQ(firstDifference(snapshot(), original), "");
  // The colour is the last repainted cell's until the caller takes its own back.
  EXPECT_EQ(screen.currentAttribute(), screen.cell(12, 40).attribute);
  setColour("-");
  EXPECT_EQ(currentColour, 0);
  EXPECT_EQ(windowDepth, 0);
  EXPECT_TRUE(sameBox(windowBox, 0, 0, 0, 0));
  EXPECT_FALSE(fileExists());
  screen.getCursor(row, column);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(column, 3);
}

TEST_F(WindowStackTest, RefusedOpensChangeNothingAndTheirClosesNeither) {
  struct Box {
    int16_t top, left, bottom, right;
  } refused[] = {{0, 1, 10, 10}, {1, 0, 10, 10}, {1, 1, 26, 10}, {1, 1, 10, 81},
                 {26, 1, 25, 10}, {-3, 1, 10, 10}};
  fillPattern();
  openWindow(5, 5, 15, 50);
  drawFrame(1);
  const std::string withOuter = snapshot();
  const std::string outerRecord = file();
  for (const Box& box : refused) {
    EXPECT_FALSE(openWindow(box.top, box.left, box.bottom, box.right)) << box.top << "," << box.left;
    EXPECT_EQ(windowDepth, 1);
    EXPECT_TRUE(sameBox(windowBox, 5, 5, 15, 50));
    EXPECT_EQ(file(), outerRecord);
    closeWindow();  // pairs with the refused open: the outer window stays
    EXPECT_EQ(windowDepth, 1);
    EXPECT_TRUE(sameBox(windowBox, 5, 5, 15, 50));
    EXPECT_EQ(firstDifference(snapshot(), withOuter), "");
    EXPECT_EQ(file(), outerRecord);
  }
  // Refused opens nested between real ones pair up too.
  openWindow(0, 0, 0, 0);
  openWindow(6, 6, 8, 8);
  openWindow(1, 1, 99, 1);
  closeWindow();
  EXPECT_TRUE(sameBox(windowBox, 6, 6, 8, 8));
  closeWindow();
  closeWindow();
  EXPECT_EQ(windowDepth, 1);
  EXPECT_EQ(firstDifference(snapshot(), withOuter), "");
}

class LargeScreenWindowTest : public UiTest {
 protected:
  LargeScreenWindowTest() : UiTest(120, 130) {}
};

TEST_F(LargeScreenWindowTest, CoordinatesAboveNinetyNineAreRefused) {
  EXPECT_FALSE(openWindow(1, 1, 100, 10));
  EXPECT_FALSE(openWindow(1, 95, 10, 100));
  EXPECT_EQ(windowDepth, 0);
  EXPECT_FALSE(std::filesystem::exists(stackFile()));
  ASSERT_TRUE(openWindow(1, 1, 99, 99));
  EXPECT_EQ(readFileBytes(stackFile())->substr(4 + 12, 8), "01019999");
  closeWindow();
  closeWindow();
  closeWindow();
  EXPECT_EQ(windowDepth, 0);
}

TEST_F(WindowStackTest, AStackLeftByAnEarlierRunIsAppendedToAndKept) {
  fillPattern();
  openWindow(2, 2, 4, 4);  // an earlier run that ended with this window open
  const std::string earlier = file();
  resetWindowStack();

  const std::string before = snapshot();
  openWindow(10, 10, 12, 20);
  const size_t record = 25 + 2 * 3 * 11;
  EXPECT_EQ(freePosition(file()), static_cast<int32_t>(earlier.size() + record + 1));
  EXPECT_EQ(file().substr(4, earlier.size() - 4), earlier.substr(4));
  drawFrame(2);
  closeWindow();
  EXPECT_EQ(firstDifference(snapshot(), before), "");
  // The free position is back after the earlier run's records; the stale bytes stay.
  EXPECT_EQ(file().substr(0, earlier.size()), earlier);
  EXPECT_EQ(file().size(), earlier.size() + record);
  EXPECT_EQ(windowDepth, 0);
}

TEST_F(WindowStackTest, CloseWithoutARecordOnlyRemovesTheFile) {
  for (const std::string& content : {std::string(), std::string("\x05\x00", 2)}) {
    writeFileBytes(stackFile(), content);
    fillPattern();
    const std::string before = snapshot();
    closeWindow();
    EXPECT_EQ(firstDifference(snapshot(), before), "");
    EXPECT_EQ(windowDepth, 0);
    EXPECT_FALSE(fileExists());
  }
  closeWindow();  // no file at all
  EXPECT_EQ(windowDepth, 0);
}

TEST_F(WindowStackTest, WithoutAWritableWorkDirectoryWindowsStillNest) {
  sessionSettings.tempDir = dir.file("missing/");
  fillPattern();
  const std::string before = snapshot();
  ASSERT_TRUE(openWindow(3, 3, 8, 30));
  drawFrame(1);
  locateInWindow(1, 1);
  EXPECT_EQ(windowDepth, 1);
  closeWindow();
  EXPECT_EQ(windowDepth, 0);
  EXPECT_TRUE(sameBox(windowBox, 0, 0, 0, 0));
  EXPECT_NE(snapshot(), before);  // nothing saved, nothing to paint back
}

// Damage done to the stack file while two windows are open, the inner one inside the
// outer one; the closes must stay inside what the file holds, paint back what they can
// and leave no window open.
TEST_F(WindowStackTest, DamagedFileNeverBreaksTheCloses) {
  struct Damage {
    const char* what;
    std::function<std::string(const std::string& file, size_t innerStart)> apply;
    bool innerFullyRepainted;
    bool outerIntact = true;
  } damages[] = {
      {"cut inside the inner cells",
       [](const std::string& f, size_t inner) { return f.substr(0, inner + 20 + 30); }, false},
      {"cut inside the inner fields",
       [](const std::string& f, size_t inner) { return f.substr(0, inner + 7); }, false},
      {"length not digits",
       [](const std::string& f, size_t) {
         std::string g = f;
         g[g.size() - 3] = 'x';
         return g;
       },
       true},
      {"length larger than the file",
       [](const std::string& f, size_t) { return f.substr(0, f.size() - 5) + "99999"; }, true},
      {"length below a record",
       [](const std::string& f, size_t) { return f.substr(0, f.size() - 5) + "00003"; }, true},
      {"free position beyond the file",
       [](const std::string& f, size_t) { return withFreePosition(f, 0x7FFFFFF0); }, true},
      {"free position negative",
       [](const std::string& f, size_t) { return withFreePosition(f, -40); }, true},
      {"fields not digits",
       [](const std::string& f, size_t inner) {
         std::string g = f;
         g.replace(inner, 20, "a?-+!.,;:/zzzzzzzzzz");
         return g;
       },
       true},
      {"a record left above it by another program",
       [](const std::string& f, size_t inner) {
         std::string g = f + f.substr(4, inner - 4);
         return withFreePosition(g, static_cast<int32_t>(g.size() + 1));
       },
       true},
      {"header only", [](const std::string& f, size_t) { return f.substr(0, 4); }, false, false},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    fillPattern();
    const std::string original = snapshot();
    openWindow(3, 5, 12, 40);
    drawFrame(2);
    const std::string withOuter = snapshot();
    const size_t innerStart = file().size();
    openWindow(6, 10, 9, 30);
    drawFrame(1);
    writeFileBytes(stackFile(), damage.apply(file(), innerStart));

    closeWindow();
    EXPECT_EQ(windowDepth, 1);
    EXPECT_TRUE(sameBox(windowBox, 3, 5, 12, 40));
    if (damage.innerFullyRepainted) {
      EXPECT_EQ(firstDifference(snapshot(), withOuter), "");
    }
    closeWindow();
    EXPECT_EQ(windowDepth, 0);
    EXPECT_TRUE(sameBox(windowBox, 0, 0, 0, 0));
    if (damage.outerIntact) {
      EXPECT_EQ(firstDifference(snapshot(), original), "");
    }
    EXPECT_FALSE(fileExists());
  }
}

TEST_F(WindowStackTest, CutFileRepaintsTheCellsItStillHolds) {
  fillPattern();
  const std::string original = snapshot();
  openWindow(6, 20, 9, 60);
  drawFrame(1);
  // 30 cells survive: the first row's 41 cells are cut after the 30th.
  writeFileBytes(stackFile(), file().substr(0, 4 + 20 + 2 * 30 + 1));
  closeWindow();
  const std::string after = snapshot();
  auto cellAt = [](const std::string& cells, int row, int column) {
    return cells.substr(((row - 1) * 80 + column - 1) * 2, 2);
  };
  for (int column = 20; column < 50; ++column) {
    EXPECT_EQ(cellAt(after, 6, column), cellAt(original, 6, column)) << column;
  }
  EXPECT_EQ(cellAt(after, 6, 50)[0], '\xC4');  // the frame stays where nothing was saved
  EXPECT_EQ(windowDepth, 0);
  EXPECT_FALSE(fileExists());
}

// Files left by an earlier run, damaged: closes that pair with no open of this run.
TEST_F(WindowStackTest, DamagedFileFromAnEarlierRunIsDroppedSafely) {
  fillPattern();
  openWindow(2, 2, 4, 6);
  const std::string good = file();
  resetWindowStack();
  const std::string cases[] = {
      withFreePosition(good, 1000),                    // record end beyond the file
      withFreePosition(good, 12),                      // too short for a record
      good.substr(0, good.size() - 5) + "0002x",       // length not digits
      good.substr(0, good.size() - 5) + "00999",       // starts inside the header
      good.substr(0, 4) + "xx" + good.substr(6),       // cursor not digits
      good.substr(0, 16) + "zzzzzzzz" + good.substr(24),  // own box not digits
  };
  for (const std::string& damaged : cases) {
    writeFileBytes(stackFile(), damaged);
    const std::string before = snapshot();
    closeWindow();
    EXPECT_EQ(windowDepth, -1);  // a close without an open still counts down
    EXPECT_FALSE(fileExists());
    resetWindowStack();
    EXPECT_EQ(firstDifference(snapshot(), before), "");
  }
}
