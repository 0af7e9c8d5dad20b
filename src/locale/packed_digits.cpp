#include "locale/packed_digits.h"

#include <algorithm>

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
int digitValue(char c) {
  return isDigit(c) ? c - '0' : 0;
}

bool isBlankText(const std::string& text, size_t from) {
  return text.find_first_not_of(' ', from) == std::string::npos;
}

// The digits of a number as the operator typed it: leading digits, blanks among them skipped
// (a range typed as " 50" is 50), leading zeros dropped; empty for 0 or no digits at all.
std::string numberDigits(const std::string& number) {
  std::string digits;
  for (char c : number) {
    if (c == ' ') continue;
    if (!isDigit(c)) break;
    if (c == '0' && digits.empty()) continue;
    digits += c;
  }
  return digits;
}

// `digits` written in exactly `width` places: "0" on the left, or only its last digits.
std::string fixedWidth(const std::string& digits, size_t width) {
  if (digits.size() >= width) return digits.substr(digits.size() - width);
  return std::string(width - digits.size(), '0') + digits;
}

// The unpacked digits read as one number. Only the last 18 digits count, so that a value
// longer than any date cannot overflow.
int64_t packedNumber(const PackedDigits& bytes) {
  std::string digits = unpackDigits(bytes);
  if (digits.size() > 18) digits.erase(0, digits.size() - 18);
  int64_t number = 0;
  for (char c : digits) number = number * 10 + digitValue(c);
  return number;
}

struct DateParts {
  int64_t year, month, day;
};

DateParts dateParts(const PackedDigits& date) {
  int64_t number = packedNumber(date);
  return {number / 10000, (number / 100) % 100, number % 100};
}

int64_t leap(int64_t year) {
  if (year < 1582) return year % 4 == 0 ? 1 : 0;
  return (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 1 : 0;
}

// Leap years from year 0 to `year` inclusive, by the same rule as leap().
int64_t leapYearsThrough(int64_t year) {
  if (year < 0) return 0;
  auto gregorian = [](int64_t y) { return y / 4 - y / 100 + y / 400; };
  int64_t count = std::min<int64_t>(year, 1581) / 4 + 1;
  if (year >= 1582) count += gregorian(year) - gregorian(1581);
  return count;
}

int64_t daysInMonth(int64_t month, int64_t year) {
  int64_t days = 30 + ((1 + ((month + 1) % 9)) % 2);
  if (month == 2) days -= 2 - leap(year);
  return days;
}

int64_t daysOfMonths(int64_t first, int64_t last, int64_t year) {
  int64_t days = 0;
  for (int64_t month = first; month <= last; ++month) days += daysInMonth(month, year);
  return days;
}

int64_t daysBetween(const DateParts& a, const DateParts& b) {
  int64_t days = b.day - a.day;
  if (a.year < b.year) {
    int64_t yearsBetween = b.year - a.year - 1;
    days += 365 * yearsBetween + leapYearsThrough(b.year - 1) - leapYearsThrough(a.year);
    days += daysOfMonths(a.month, 12, a.year) + daysOfMonths(1, b.month - 1, b.year);
  } else if (a.year == b.year) {
    days += daysOfMonths(a.month, b.month - 1, a.year);
  }
  return days;
}

}  // namespace

PackedDigits packDigits(const std::string& text) {
  const size_t n = text.size();
  size_t first = text.find_first_not_of(' ');
  std::string trimmed;
  if (first != std::string::npos)
    trimmed = text.substr(first, text.find_last_not_of(' ') - first + 1);
  // Blanks left inside count as "0", like every other non-digit.
  std::string field = std::string(n - trimmed.size(), '0') + trimmed;
  PackedDigits packed;
  packed.reserve((n + 1) / 2);
  for (size_t i = 0; i < n; i += 2) {
    int second = i + 1 < n ? digitValue(field[i + 1]) : 0;
    packed += static_cast<char>(0x80 | (10 * digitValue(field[i]) + second));
  }
  return packed;
}

std::string unpackDigits(const PackedDigits& bytes) {
  std::string digits;
  digits.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    int value = (byte & 127) % 100;
    digits += static_cast<char>('0' + value / 10);
    digits += static_cast<char>('0' + value % 10);
  }
  return digits;
}

PackedDigits packCode(const std::string& text) {
  size_t dots = std::count(text.begin(), text.end(), '.');
  size_t width = ((text.size() == 6 && dots == 0) || (text.size() == 11 && dots <= 1)) ? 6 : 4;
  std::string digits;
  size_t start = 0;
  for (;;) {
    size_t dot = text.find('.', start);
    if (dot == std::string::npos && isBlankText(text, start)) break;
    size_t end = dot == std::string::npos ? text.size() : dot;
    digits += fixedWidth(numberDigits(text.substr(start, end - start)), width);
    width = 4;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return packDigits(digits);
}

int32_t dateDifference(const PackedDigits& date1, const PackedDigits& date2,
                       const std::string& unit) {
  // std::string compares its bytes as unsigned char, the order of packed values.
  const bool inOrder = !(date2 < date1);
  const DateParts a = dateParts(inOrder ? date1 : date2);
  const DateParts b = dateParts(inOrder ? date2 : date1);
  char kind = unit.empty() ? '\0' : unit[0];
  if (kind >= 'a' && kind <= 'z') kind = static_cast<char>(kind - 'a' + 'A');
  int64_t result = 0;
  switch (kind) {
    case 'A':
      result = b.year - a.year;
      if (b.month < a.month || (b.month == a.month && b.day < a.day)) --result;
      break;
    case 'M':
      result = (b.year - a.year) * 12 + b.month - a.month;
      break;
    case 'D':
      result = daysBetween(a, b);
      break;
    default:
      break;
  }
  return static_cast<int32_t>(result);
}

int16_t dayOfWeek(const PackedDigits& date) {
  const PackedDigits yearBytes = date.substr(0, 2);
  const int64_t k = int64_t{dateDifference(date, yearBytes + packDigits("0101"), "d")} - 1;
  const int64_t y = packedNumber(yearBytes) - 1;
  int64_t days;
  if (date < packDigits("15821005")) {
    days = ((y + y / 4) % 7) + 6 + k;
  } else {
    days = ((y + y / 4 - y / 100 + y / 400) % 7) + 1 + k;
  }
  // Taken modulo 7 upwards from 0, so that a day count below zero, which only an invalid
  // date gives (day 99 of month 0), still yields a weekday from 1 to 7.
  return static_cast<int16_t>(((days % 7) + 7) % 7 + 1);
}
