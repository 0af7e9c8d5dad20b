#include "ui/calendar.h"

#include <cstdint>
#include <ctime>

#include "core/session_settings.h"
#include "locale/date_text.h"
#include "locale/numeric_picture.h"
#include "locale/packed_digits.h"
#include "locale/text_helpers.h"
#include "platform/console.h"
#include "ui/field_editor.h"
#include "ui/keyboard.h"
#include "ui/pop_ups.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

namespace {

constexpr int16_t FrameTop = 1, FrameLeft = 59, FrameBottom = 24, FrameRight = 80;
constexpr int16_t FirstYear = 1, LastYear = 9999;
constexpr int16_t WeekRows = 6, DaysPerWeek = 7, RowsPerMonth = 7;
// Right, Left, Down, Up, PgDn, PgUp, Home, End, Alt+F, Esc.
constexpr const char* CalendarKeys = "4d00,4b00,5000,4800,5100,4900,4700,4f00,2100,1b";

// The working state of one call.
struct CalendarState {
  int16_t year = 0, month = 0, day = 0;    // the highlighted date
  int16_t quarterFirst = 1;                // first month of the quarter on screen
};

bool isLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int16_t monthLength(int year, int month) {
  int length = 30 + (1 + (month + 1) % 9) % 2;
  if (month == 2) length -= 2 - (isLeapYear(year) ? 1 : 0);
  return static_cast<int16_t>(length);
}

PackedDigits packedDate(int year, int month, int day) {
  return packDigits(padNumber(year * 10000.0 + month * 100 + day, 8));
}

// Weekday (1 Monday ... 7 Sunday) of the month's first day.
int firstWeekday(int year, int month) {
  return dayOfWeek(packedDate(year, month, 1));
}

// The number right-aligned in width characters, blanks on the left.
std::string rightAligned(int value, size_t width) {
  std::string text = std::to_string(value);
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

int digitsValue(const std::string& digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

// The session date when it is a date of years 1 to 9999 (the day may still be past the
// month's end).
bool sessionDateParts(CalendarState& c) {
  const std::string& date = sessionSettings.sessionDate;
  if (date.size() != 4) return false;
  for (char byte : date) {
    const auto value = static_cast<uint8_t>(byte);
    if (value < 0x80 || value > 0x80 + 99) return false;
  }
  const std::string digits = unpackDigits(date);
  const int year = digitsValue(digits.substr(0, 4));
  const int month = digitsValue(digits.substr(4, 2));
  const int day = digitsValue(digits.substr(6, 2));
  if (year < FirstYear || month < 1 || month > 12 || day < 1) return false;
  c.year = static_cast<int16_t>(year);
  c.month = static_cast<int16_t>(month);
  c.day = static_cast<int16_t>(day);
  return true;
}

void systemDateParts(CalendarState& c) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  c.year = static_cast<int16_t>(local.tm_year + 1900);
  c.month = static_cast<int16_t>(local.tm_mon + 1);
  c.day = static_cast<int16_t>(local.tm_mday);
}

std::string weekdayHeading() {
  const std::string& language = sessionSettings.languageCode;
  if (language == "SPA" || language == "GLG") return " L  M  X  J  V  S  D";
  if (language == "OCI") return "DL DT DC DJ DD DS DG";
  return "DL DT DC DJ DV DS DG";
}

int16_t innerWidth() {
  return static_cast<int16_t>(windowInnerRight() - windowInnerLeft() + 1);
}

void write(const std::string& text) {
  console().writeText(text);
}

// The window column at which text stands centred between the frame's sides.
int16_t centredColumn(const std::string& text) {
  return static_cast<int16_t>(centerOffset(text, innerWidth()) + 1);
}

// Window row of the name of a month of the quarter on screen; its grid follows below.
int16_t monthNameRow(const CalendarState& c, int month) {
  return static_cast<int16_t>(RowsPerMonth * (month - c.quarterFirst) + 2);
}

// Cursor at cell 1 to 42 of a month's grid (a week a row, Monday first).
void locateCell(int16_t nameRow, int cell) {
  locateInWindow(static_cast<int16_t>((cell - 1) / DaysPerWeek + nameRow + 1),
                 static_cast<int16_t>(((cell - 1) % DaysPerWeek) * 3 + 1));
}

// Cursor at day d of month m of the quarter on screen.
void locateDay(const CalendarState& c, int month, int day) {
  locateCell(monthNameRow(c, month), firstWeekday(c.year, month) + day - 1);
}

void writeMonth(const CalendarState& c, int month) {
  const int16_t nameRow = monthNameRow(c, month);
  const std::string name = foldText(formatDate(packedDate(c.year, month, 1), 2, "m"));
  setColour("n");
  locateInWindow(nameRow, 1);
  console().writeBlanks(innerWidth());
  locateInWindow(nameRow, centredColumn(name));
  write(name);

  // Every cell of the grid, so that no digit of an earlier month stays behind.
  setColour("h");
  const int first = firstWeekday(c.year, month);
  const int length = monthLength(c.year, month);
  for (int cell = 1; cell <= WeekRows * DaysPerWeek; ++cell) {
    const int day = cell - first + 1;
    locateCell(nameRow, cell);
    write(day >= 1 && day <= length ? rightAligned(day, 2) : "  ");
  }
}

void drawQuarter(CalendarState& c) {
  setColour("n");
  const std::string year = " " + rightAligned(c.year, 4) + " ";
  locateInWindow(0, centredColumn(year));
  write(year);
  locateInWindow(1, 1);
  write(weekdayHeading());
  c.quarterFirst = static_cast<int16_t>((c.month - 1) / 3 * 3 + 1);
  for (int month = c.quarterFirst; month <= c.quarterFirst + 2; ++month) writeMonth(c, month);
}

struct Date {
  int year, month, day;
};

// delta days (at most a week) from the date.
Date movedByDays(Date date, int delta) {
  date.day += delta;
  if (date.day < 1) {
    if (--date.month < 1) {
      date.month += 12;
      --date.year;
    }
    date.day += monthLength(date.year, date.month);
  } else if (date.day > monthLength(date.year, date.month)) {
    date.day -= monthLength(date.year, date.month);
    if (++date.month > 12) {
      date.month -= 12;
      ++date.year;
    }
  }
  return date;
}

// delta months from the date, the day kept within the new month.
Date movedByMonths(Date date, int delta) {
  date.month += delta;
  if (date.month < 1) {
    date.month += 12;
    --date.year;
  } else if (date.month > 12) {
    date.month -= 12;
    ++date.year;
  }
  const int length = monthLength(date.year, date.month);
  if (date.day > length) date.day = length;
  return date;
}

int quarterOf(int month) {
  return (month - 1) / 3;
}

// Makes the date the one the key loop highlights, redrawing the quarter when asked or when
// the date lies in another one. A date beyond the years 1 to 9999 is not taken.
void moveTo(CalendarState& c, Date date, bool redraw) {
  if (date.year < FirstYear || date.year > LastYear) return;
  redraw = redraw || date.year != c.year || quarterOf(date.month) != quarterOf(c.month);
  c.year = static_cast<int16_t>(date.year);
  c.month = static_cast<int16_t>(date.month);
  c.day = static_cast<int16_t>(date.day);
  if (redraw) drawQuarter(c);
}

void writeDay(const CalendarState& c) {
  locateDay(c, c.month, c.day);
  write(rightAligned(c.day, 2));
}

enum class Outcome { GoOn, Accept, Cancel };

Outcome handleKey(CalendarState& c, int16_t key) {
  const Date now{c.year, c.month, c.day};
  switch (key) {
    case KeyRight:
      moveTo(c, movedByDays(now, 1), false);
      break;
    case KeyLeft:
      moveTo(c, movedByDays(now, -1), false);
      break;
    case KeyDown:
      moveTo(c, movedByDays(now, 7), false);
      break;
    case KeyUp:
      moveTo(c, movedByDays(now, -7), false);
      break;
    case KeyPgDn:
      moveTo(c, movedByMonths(now, 3), true);
      break;
    case KeyPgUp:
      moveTo(c, movedByMonths(now, -3), true);
      break;
    case KeyHome:
      moveTo(c, {now.year, 1, now.day}, false);
      break;
    case KeyEnd:
      moveTo(c, {now.year, 12, now.day}, false);
      break;
    case 'F':
    case 'f':
    case KeyAltF:
      return Outcome::Accept;
    case KeyEsc:
      return Outcome::Cancel;
    default:
      break;
  }
  return Outcome::GoOn;
}

}  // namespace

std::string pickDate() {
  setEditKeys("+ea", CalendarKeys);
  setColour("+n");
  hidePopUpCursor();
  const bool opened = openWindow(FrameTop, FrameLeft, FrameBottom, FrameRight);
  CalendarState c;
  if (!sessionDateParts(c)) systemDateParts(c);
  const int16_t length = monthLength(c.year, c.month);
  if (c.day > length) c.day = length;

  std::string result;
  if (opened) {
    drawFrame(1);
    drawQuarter(c);
    for (;;) {
      setColour("+u");
      writeDay(c);
      const int16_t key = waitKey();
      setColour("-");
      writeDay(c);
      const Outcome outcome = handleKey(c, key);
      if (outcome == Outcome::Cancel) break;
      if (outcome == Outcome::Accept) {
        result = formatDate(packedDate(c.year, c.month, c.day), 0, "dma");
        break;
      }
    }
    closeWindow();
  } else {
    console().beep();  // a screen too small for the calendar
  }
  showPopUpCursor();
  setColour("-");
  setEditKeys("-", "");
  return result;
}
