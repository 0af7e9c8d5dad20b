#include "ui/calendar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <vector>

#include "locale/date_text.h"
#include "locale/packed_digits.h"
#include "ui/field_editor.h"
#include "ui/pop_ups.h"
#include "ui_fixture.h"

namespace {

constexpr int16_t FrameLeft = 59;

std::string rightAligned(unsigned value, size_t width) {
  std::string text = std::to_string(value);
  return std::string(width - text.size(), ' ') + text;
}

std::string centred(const std::string& name) {
  const size_t left = (20 - name.size()) / 2;
  return std::string(left, ' ') + name + std::string(20 - left - name.size(), ' ');
}

// Weekday of a date, 1 Monday ... 7 Sunday, from the standard library's calendar.
unsigned isoWeekday(int year, unsigned month, unsigned day) {
  using namespace std::chrono;
  return weekday{sys_days{std::chrono::year{year} / std::chrono::month{month} / day}}
      .iso_encoding();
}

unsigned monthDays(int year, unsigned month) {
  using namespace std::chrono;
  return static_cast<unsigned>((std::chrono::year{year} / std::chrono::month{month} / last).day());
}

}  // namespace

class CalendarTest : public UiTest {
 protected:
  CalendarTest() {
    sessionSettings.rootDir = dir.path() + "/";
    sessionSettings.languageCode = "CAT";
    sessionSettings.sessionDate = packDigits("20240315");
    resetDateSettings();
    resetFieldEditor();
  }
  ~CalendarTest() override {
    resetDateSettings();
    resetFieldEditor();
  }

  // What the calendar showed once the keys were used up.
  struct Shown {
    std::string year;                    // the year on the top frame line
    std::string heading;                 // the weekday heading
    std::vector<std::string> monthRows;  // the three month name lines
    std::string highlighted;             // the day shown in the highlight colour
    std::string result;
  };

  // Opens the calendar, types the keys, looks at it, then presses `last`.
  Shown pick(const std::vector<int16_t>& keys, int16_t last = 'f') {
    Shown shown;
    bool looked = false;
    screen.setIdleHandler([&](MemoryConsole& console) {
      if (!looked) {
        looked = true;
        shown = look();
      }
      console.pushKey(last);
    });
    for (int16_t key : keys) screen.pushKey(key);
    shown.result = pickDate();
    screen.setIdleHandler(nullptr);
    return shown;
  }

  Shown look() {
    Shown shown;
    shown.year = screen.text(1, FrameLeft + 8, 6);
    shown.heading = screen.text(2, FrameLeft + 1, 20);
    for (int16_t row : {3, 10, 17}) shown.monthRows.push_back(screen.text(row, FrameLeft + 1, 20));
    for (int16_t row = 4; row <= 23; ++row) {
      for (int16_t column = FrameLeft + 1; column <= 79; ++column) {
        if (screen.cell(row, column).attribute == Colour4) {
          shown.highlighted += static_cast<char>(screen.cell(row, column).character);
        }
      }
    }
    return shown;
  }

  // Whether the key redraws the quarter: a mark on a month name line survives only when
  // nothing is drawn over it.
  bool redraws(int16_t key) {
    int stage = 0;
    bool markStayed = false;
    screen.setIdleHandler([&](MemoryConsole& console) {
      if (stage++ == 0) {
        console.setCursor(3, FrameLeft + 1);
        console.writeText("@");
        console.pushKey(key);
      } else {
        markStayed = console.text(3, FrameLeft + 1, 1) == "@";
        console.pushKey(KeyEsc);
      }
    });
    pickDate();
    screen.setIdleHandler(nullptr);
    return !markStayed;
  }
};

TEST_F(CalendarTest, ShowsTheQuarterOfTheSessionDate) {
  fillPattern();
  const std::string before = snapshot();
  screen.setIdleHandler([&](MemoryConsole& console) {
    EXPECT_EQ(console.text(1, FrameLeft, 22),
              "\xDA\xC4\xC4\xC4\xC4\xC4\xC4\xC4 2024 "
              "\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xBF");
    EXPECT_EQ(console.text(24, FrameLeft, 1), "\xC0");
    EXPECT_EQ(console.text(2, FrameLeft + 1, 20), "DL DT DC DJ DV DS DG");
    const char* names[] = {"GENER", "FEBRER", "MAR\x80"};
    for (unsigned month = 1; month <= 3; ++month) {
      const int16_t nameRow = static_cast<int16_t>(7 * (month - 1) + 3);
      EXPECT_EQ(console.text(nameRow, FrameLeft + 1, 20), centred(names[month - 1]));
      EXPECT_EQ(console.cell(nameRow, FrameLeft + 10).attribute, Colour1);
      // Each of the 42 cells: its day right-aligned, or blanks before day 1 and after
      // the last day.
      const unsigned first = isoWeekday(2024, month, 1);
      for (unsigned cell = 1; cell <= 42; ++cell) {
        const int day = static_cast<int>(cell - first + 1);
        const bool inMonth = day >= 1 && day <= static_cast<int>(monthDays(2024, month));
        const auto row = static_cast<int16_t>(nameRow + 1 + (cell - 1) / 7);
        const auto column = static_cast<int16_t>(FrameLeft + 1 + (cell - 1) % 7 * 3);
        EXPECT_EQ(console.text(row, column, 2),
                  inMonth ? rightAligned(static_cast<unsigned>(day), 2) : "  ")
            << month << "/" << cell;
        const bool highlighted = month == 3 && day == 15;
        EXPECT_EQ(console.cell(row, column).attribute, highlighted ? Colour4 : Colour0)
            << month << "/" << cell;
      }
    }
    console.pushKey(KeyEsc);
  });
  EXPECT_EQ(pickDate(), "");
  EXPECT_EQ(firstDifference(snapshot(), before), "");
}

TEST_F(CalendarTest, KeysMoveTheHighlightedDate) {
  struct Case {
    const char* start;
    std::vector<int16_t> keys;
    int16_t accept;
    const char* result;
    const char* firstMonth;  // of the quarter shown
    const char* year;
  } cases[] = {
      {"20240331", {KeyRight}, 'f', "1/4/2024  ", "ABRIL", "2024"},
      {"20240101", {KeyLeft}, 'F', "31/12/2023", "OCTUBRE", "2023"},
      {"20241231", {KeyRight}, KeyAltF, "1/1/2025  ", "GENER", "2025"},
      {"20240303", {KeyUp}, 'f', "25/2/2024 ", "GENER", "2024"},
      {"20230228", {KeyDown}, 'f', "7/3/2023  ", "GENER", "2023"},
      {"20230929", {KeyDown}, 'f', "6/10/2023 ", "OCTUBRE", "2023"},
      {"20240131", {KeyPgDn}, 'f', "30/4/2024 ", "ABRIL", "2024"},
      {"20241130", {KeyPgUp}, 'f', "30/8/2024 ", "JULIOL", "2024"},
      {"20241130", {KeyPgDn}, 'f', "28/2/2025 ", "GENER", "2025"},
      {"20240115", {KeyPgUp}, 'f', "15/10/2023", "OCTUBRE", "2023"},
      {"20240630", {KeyHome}, 'f', "30/1/2024 ", "GENER", "2024"},
      {"20240115", {KeyEnd}, 'f', "15/12/2024", "OCTUBRE", "2024"},
      {"20240315", {KeyEnter, 'x', KeyF1}, 'f', "15/3/2024 ", "GENER", "2024"},
      {"00010101", {KeyLeft}, 'f', "1/1/0001  ", "GENER", "0001"},  // no year 0
      {"99991231", {KeyPgDn}, 'f', "31/12/9999", "OCTUBRE", "9999"},
  };
  for (const Case& c : cases) {
    sessionSettings.sessionDate = packDigits(c.start);
    const Shown shown = pick(c.keys, c.accept);
    EXPECT_EQ(shown.result, c.result) << c.start;
    EXPECT_EQ(shown.monthRows[0], centred(c.firstMonth)) << c.start;
    EXPECT_EQ(shown.year, " " + rightAligned(std::stoul(c.year), 4) + " ") << c.start;
    const std::string day =
        c.result[1] == '/' ? std::string(" ") + c.result[0] : std::string(c.result, 2);
    EXPECT_EQ(shown.highlighted, day) << c.start;
  }
}

TEST_F(CalendarTest, HomeAndEndRedrawOnlyWhenTheQuarterChanges) {
  struct Case {
    const char* start;
    int16_t key;
    bool redraw;
  } cases[] = {
      {"20240215", KeyHome, false}, {"20240515", KeyHome, true},   {"20241115", KeyEnd, false},
      {"20240815", KeyEnd, true},   {"20240215", KeyRight, false}, {"20240331", KeyRight, true},
      {"20240215", KeyPgDn, true},
  };
  for (const Case& c : cases) {
    sessionSettings.sessionDate = packDigits(c.start);
    EXPECT_EQ(redraws(c.key), c.redraw) << c.start << " " << c.key;
  }
}

TEST_F(CalendarTest, HeadingAndMonthNamesFollowTheLanguage) {
  struct Case {
    const char* language;
    const char* heading;
    const char* march;
  } cases[] = {
      {"SPA", " L  M  X  J  V  S  D", "MARZO"},   {"GLG", " L  M  X  J  V  S  D", "MAR\x80O"},
      {"OCI", "DL DT DC DJ DD DS DG", "MAR\x80"}, {"CAT", "DL DT DC DJ DV DS DG", "MAR\x80"},
      {"   ", "DL DT DC DJ DV DS DG", "MAR\x80"},
  };
  for (const Case& c : cases) {
    sessionSettings.languageCode = c.language;
    const Shown shown = pick({}, KeyEsc);
    EXPECT_EQ(shown.heading, c.heading) << c.language;
    EXPECT_EQ(shown.monthRows[2], centred(c.march)) << c.language;
    EXPECT_EQ(shown.result, "") << c.language;
  }
}

TEST_F(CalendarTest, ASessionDateThatIsNoDateGivesWayToTheSystemDate) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string today =
      formatDate(packDigits(std::to_string((local.tm_year + 1900) * 10000 +
                                           (local.tm_mon + 1) * 100 + local.tm_mday)),
                 0, "dma");
  struct Case {
    std::string sessionDate;
    std::string result;
  } cases[] = {
      {"", today},
      {packDigits("00000000"), today},
      {packDigits("20241315"), today},
      {packDigits("20240100"), today},
      {packDigits("202403"), today},
      {"AB\x83\x8F", today},
      {packDigits("20240231"), "29/2/2024 "},  // the day kept within the month
      {packDigits("20230431"), "30/4/2023 "},
  };
  for (const Case& c : cases) {
    sessionSettings.sessionDate = c.sessionDate;
    EXPECT_EQ(pick({}).result, c.result) << unpackDigits(c.sessionDate);
  }
}

TEST_F(CalendarTest, LeavingGivesBackColourExitKeysAndCursor) {
  setEditKeys("+ea", "d,1b");
  const std::string formKeys = exitKeyCodes;
  setColour("+rh");
  const int16_t colour = currentColour;
  const std::string colours = colourStack;
  for (int16_t last : std::vector<int16_t>{KeyEsc, 'f'}) {
    std::string keysWhileOpen;
    screen.setIdleHandler([&](MemoryConsole& console) {
      keysWhileOpen = exitKeyCodes;
      console.pushKey(last);
    });
    pickDate();
    EXPECT_EQ(keysWhileOpen.size(), 20u);  // the calendar's ten keys
    EXPECT_EQ(exitKeyCodes, formKeys);
    EXPECT_EQ(savedExitKeys.size(), 1u);
    EXPECT_EQ(currentColour, colour);
    EXPECT_EQ(colourStack, colours);
    EXPECT_TRUE(screen.cursorVisible());
    EXPECT_EQ(windowDepth, 0);
  }
  screen.setIdleHandler(nullptr);
}

TEST_F(CalendarTest, AltCDuringAnEditTypesTheDateIntoThatField) {
  registerPopUpHotKeys();
  setEditKeys("+ea", "d,1b");
  screen.pushKey(KeyAltC, LeftAltPressed);
  screen.pushKey(KeyRight);
  screen.pushKey('f');
  screen.pushKey(KeyEnter);
  std::string text(10, '.');
  int16_t position = 1, key = 0;
  editField(5, 10, 0, text, position, key);
  EXPECT_EQ(text, "16/3/2024 ");
  EXPECT_EQ(key, KeyEnter);
  EXPECT_EQ(calendarOpen, 0);

  screen.pushKey(KeyAltC, LeftAltPressed);  // Esc: nothing typed
  screen.pushKey(KeyEsc);
  screen.pushKey(KeyEnter);
  text = "abc       ";
  position = 4;
  editField(5, 10, 0, text, position, key);
  EXPECT_EQ(text, "abc       ");
  EXPECT_EQ(key, KeyEnter);
}
