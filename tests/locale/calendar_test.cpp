// Day counts and weekdays of packed dates, checked against std::chrono's civil calendar
// (proleptic Gregorian) and, before the reform, against Julian day numbers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "locale/packed_digits.h"

namespace {

using namespace std::chrono;

PackedDigits packedDate(int year, unsigned month, unsigned day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u", year, month, day);
  return packDigits(text);
}

PackedDigits packedDate(const year_month_day& date) {
  return packedDate(int(date.year()), unsigned(date.month()), unsigned(date.day()));
}

// Days since 1970-01-01 of a date of the Julian calendar (Julian day number less 2440588).
long julianCalendarDays(long year, long month, long day) {
  long a = (14 - month) / 12, y = year + 4800 - a, m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - 32083 - 2440588;
}

int isoWeekday(long daysSinceEpoch) {
  return int(weekday(sys_days(days(daysSinceEpoch))).iso_encoding());
}

TEST(DateDifference, CountsGregorianDaysLikeTheCivilCalendar) {
  const sys_days reform = sys_days(1582y / October / 15);
  const PackedDigits reformPacked = packedDate(1582, 10, 15);
  const sys_days last = sys_days(2200y / December / 31);
  for (sys_days day = reform; day <= last; day += days(1)) {
    PackedDigits packed = packedDate(year_month_day(day));
    ASSERT_EQ(dateDifference(reformPacked, packed, "D"), (day - reform).count())
        << int(year_month_day(day).year());
  }
  // Pairs spread over the whole four-digit range, in both orders.
  std::mt19937 random(1582);
  const long first = reform.time_since_epoch().count();
  const long end = sys_days(9999y / December / 31).time_since_epoch().count();
  std::uniform_int_distribution<long> pick(first, end);
  for (int i = 0; i < 20000; ++i) {
    sys_days a{days(pick(random))}, b{days(pick(random))};
    long expected = a < b ? (b - a).count() : (a - b).count();
    PackedDigits pa = packedDate(year_month_day(a)), pb = packedDate(year_month_day(b));
    ASSERT_EQ(dateDifference(pa, pb, "d"), expected);
    ASSERT_EQ(dateDifference(pb, pa, "D"), expected);
  }
}

TEST(DayOfWeek, MatchesTheCivilCalendarFromTheReformOn) {
  const sys_days reform = sys_days(1582y / October / 15);
  for (sys_days day = reform; day <= sys_days(2200y / December / 31); day += days(1)) {
    ASSERT_EQ(dayOfWeek(packedDate(year_month_day(day))), int(weekday(day).iso_encoding()))
        << int(year_month_day(day).year());
  }
  std::mt19937 random(15821015);
  std::uniform_int_distribution<long> pick(
      reform.time_since_epoch().count(),
      sys_days(9999y / December / 31).time_since_epoch().count());
  for (int i = 0; i < 20000; ++i) {
    sys_days day{days(pick(random))};
    ASSERT_EQ(dayOfWeek(packedDate(year_month_day(day))), int(weekday(day).iso_encoding()));
  }
}

TEST(Calendar, JulianDatesBeforeTheReform) {
  // Every day from 1 January of year 1 to 4 October 1582, by the Julian calendar.
  const long first = julianCalendarDays(1, 1, 1), end = julianCalendarDays(1582, 10, 4);
  long year = 1, month = 1, day = 1;
  const PackedDigits start = packedDate(1, 1, 1);
  for (long n = first; n <= end; ++n) {
    PackedDigits packed = packedDate(int(year), unsigned(month), unsigned(day));
    ASSERT_EQ(dayOfWeek(packed), isoWeekday(n)) << year << "-" << month << "-" << day;
    ASSERT_EQ(dateDifference(packed, start, "D"), n - first) << year << "-" << month;
    ASSERT_EQ(julianCalendarDays(year, month, day), n);  // the walk and the oracle agree
    // Next Julian day: every fourth year has 29 February.
    const int lengths[] = {31, year % 4 == 0 ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (++day > lengths[month - 1]) {
      day = 1;
      if (++month > 12) month = 1, ++year;
    }
  }
}

TEST(DateDifference, UnitsAndTheYearsAroundTheReform) {
  struct Case {
    PackedDigits a, b;
    std::string unit;
    int32_t expected;
  } cases[] = {
      {packedDate(2024, 3, 1), packedDate(2023, 3, 1), "D", 366},
      {packedDate(1900, 2, 1), packedDate(1900, 3, 1), "D", 28},
      {packedDate(1500, 2, 1), packedDate(1500, 3, 1), "D", 29},     // Julian leap year
      {packedDate(1582, 10, 4), packedDate(1582, 10, 15), "D", 11},  // the removed days count
      {packedDate(1500, 1, 1), packedDate(1600, 1, 1), "D", 36525},  // 1500 Julian leap, 1600 leap
      {packedDate(2020, 2, 29), packedDate(2021, 2, 28), "A", 0},
      {packedDate(2020, 2, 29), packedDate(2021, 3, 1), "A", 1},
      {packedDate(2021, 3, 1), packedDate(2020, 2, 29), "a", 1},
      {packedDate(1990, 6, 15), packedDate(2024, 6, 14), "Anys", 33},
      {packedDate(1990, 6, 15), packedDate(2024, 6, 15), "A", 34},
      {packedDate(2024, 1, 31), packedDate(2024, 2, 1), "M", 1},
      {packedDate(2023, 12, 15), packedDate(2024, 1, 5), "mesos", 1},
      {packedDate(2000, 5, 1), packedDate(2024, 4, 30), "M", 287},
      {packedDate(2024, 5, 1), packedDate(2024, 4, 30), "x", 0},
      {packedDate(2024, 5, 1), packedDate(2024, 4, 30), "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dateDifference(c.a, c.b, c.unit), c.expected)
        << unpackDigits(c.a) << " " << unpackDigits(c.b) << " " << c.unit;
  }
  for (const char* unit : {"A", "M", "D"}) {
    EXPECT_EQ(dateDifference(packedDate(2024, 2, 29), packedDate(2024, 2, 29), unit), 0);
  }
}

TEST(DayOfWeek, KnownDays) {
  struct Case {
    PackedDigits date;
    int16_t weekday;
  } cases[] = {
      {packedDate(2024, 1, 1), 1},   {packedDate(1582, 10, 15), 5}, {packedDate(1582, 10, 4), 4},
      {packedDate(2023, 12, 31), 7}, {packedDate(2000, 3, 1), 3},   {packedDate(1, 1, 1), 6},
  };
  for (const auto& c : cases) EXPECT_EQ(dayOfWeek(c.date), c.weekday) << unpackDigits(c.date);
}

TEST(Calendar, InvalidDatesGiveResultsWithoutFailing) {
  // Months 00 to 99 and days 00 to 99 in leap, common, Julian and reform years, and bytes
  // that are not packed digits at all.
  for (int year : {0, 1500, 1582, 1900, 2024, 9999}) {
    for (unsigned month = 0; month <= 99; ++month) {
      for (unsigned day = 0; day <= 99; ++day) {
        PackedDigits date = packedDate(year, month, day);
        int16_t weekday = dayOfWeek(date);
        ASSERT_TRUE(weekday >= 1 && weekday <= 7) << unpackDigits(date);
        for (const char* unit : {"A", "M", "D"}) dateDifference(date, packedDate(2024, 1, 1), unit);
      }
    }
  }
  for (const PackedDigits& date :
       {PackedDigits(), PackedDigits("\x94"), PackedDigits("    "), PackedDigits(4, '\0'),
        PackedDigits(4, '\xFF'), PackedDigits(40, '\xE3')}) {
    int16_t weekday = dayOfWeek(date);
    EXPECT_TRUE(weekday >= 1 && weekday <= 7);
    EXPECT_EQ(dateDifference(date, date, "D"), 0);
  }
  // A valid date one day from the invalid "day 0" of the next month.
  EXPECT_EQ(dateDifference(packedDate(2024, 3, 31), packedDate(2024, 4, 0), "D"), 0);
  EXPECT_EQ(dateDifference(packedDate(2024, 12, 1), packedDate(2024, 13, 1), "D"), 31);
}

}  // namespace
