#include "locale/date_text.h"

#include <array>
#include <string_view>

#include "core/ini_file.h"
#include "core/session_settings.h"

DateSettings dateSettings;

namespace {

using MonthNames = std::array<std::string_view, 12>;

// Code page 850 bytes: 0x87 c cedilla, 0x8A e grave.
constexpr MonthNames spanishMonths = {"enero",      "febrero", "marzo",     "abril",
                                      "mayo",       "junio",   "julio",     "agosto",
                                      "septiembre", "octubre", "noviembre", "diciembre"};
constexpr MonthNames galicianMonths = {"janeiro",  "fevereiro", "mar\x87o", "abril",
                                       "maio",     "junho",     "julho",    "agosto",
                                       "setembro", "outubro",   "novembro", "dezembro"};
constexpr MonthNames araneseMonths = {"g\x8Ar", "hereu\x8Ar", "mar\x87",  "abriu",
                                      "mai",    "junh",       "junhsega", "agost",
                                      "seteme", "octobre",    "noveme",   "deseme"};
constexpr MonthNames catalanMonths = {"gener",    "febrer",  "mar\x87",  "abril",
                                      "maig",     "juny",    "juliol",   "agost",
                                      "setembre", "octubre", "novembre", "desembre"};

struct LanguageWords {
  const MonthNames* months;
  std::string_view beforeVowelMonth;
  std::string_view beforeOtherPart;  // before a day or a year that follows another part
};

LanguageWords wordsFor(const std::string& language) {
  if (language == "SPA") return {&spanishMonths, " de ", " de "};
  if (language == "GLG") return {&galicianMonths, " de ", " do "};
  if (language == "OCI") return {&araneseMonths, " d'", " deth "};
  return {&catalanMonths, " d'", " del "};
}

// The month's name, or an empty text for a month outside 1 to 12.
std::string monthName(const LanguageWords& words, int month) {
  if (month < 1 || month > 12) return std::string();
  return std::string((*words.months)[month - 1]);
}

// The first three characters of the month's 10-character slot.
std::string shortMonthName(const LanguageWords& words, int month) {
  std::string slot = monthName(words, month);
  slot.resize(10, ' ');
  return slot.substr(0, 3);
}

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void loadDateSettings() {
  if (dateSettings.loaded) return;
  const std::string file = sessionSettings.rootDir + "Quon.ini";
  std::string separator = readIniValue(file, "Usuari", "DatCaracter");
  dateSettings.dateSeparator = separator.empty() || separator[0] == ' ' ? '/' : separator[0];
  std::string order = readIniValue(file, "Usuari", "DatOrdre").substr(0, 3);
  order.resize(3, ' ');
  dateSettings.dateOrder = order == "   " ? "DMA" : order;
  dateSettings.loaded = true;
}

// Digits as a number written without leading zeros ("04" gives "4", "00" gives "0").
std::string withoutLeadingZeros(const std::string& digits) {
  size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

}  // namespace

void resetDateSettings() {
  dateSettings = DateSettings{};
}

std::string formatDate(const PackedDigits& date, int16_t style, const std::string& fields) {
  loadDateSettings();
  std::string digits = unpackDigits(date);
  digits.resize(8, '0');
  const std::string year = digits.substr(0, 4);
  if (style == -1) return year + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2);

  const std::string month = withoutLeadingZeros(digits.substr(4, 2));
  const std::string day = withoutLeadingZeros(digits.substr(6, 2));
  const int monthNumber = (digits[4] - '0') * 10 + (digits[5] - '0');
  const LanguageWords words = wordsFor(sessionSettings.languageCode);
  std::string wanted;
  for (char c : fields) wanted += upper(c);
  auto wants = [&](char part) { return wanted.find(part) != std::string::npos; };

  std::string result;
  if (month + day != "00") {
    for (char part : dateSettings.dateOrder) {
      if ((part != 'D' && part != 'M' && part != 'A') || !wants(part)) continue;
      std::string text;
      if (part == 'D') text = day;
      if (part == 'A') text = year;
      if (part == 'M') {
        if (style >= 2) {
          text = monthName(words, monthNumber);
        } else if (style == 1) {
          text = shortMonthName(words, monthNumber);
        } else {
          text = month;
        }
      }
      if (!result.empty()) {
        if (style < 2) {
          result += dateSettings.dateSeparator;
        } else if (part == 'M') {
          bool vowel = !text.empty() &&
                       std::string_view("AEIOU").find(upper(text[0])) != std::string_view::npos;
          result += vowel ? words.beforeVowelMonth : std::string_view(" de ");
        } else {
          result += words.beforeOtherPart;
        }
      }
      result += text;
    }
  }
  if (style >= 2) return result;

  long width = static_cast<long>(fields.size()) - 1;
  if (wants('M')) width += style + 2;
  if (wants('A')) width += 4;
  if (wants('D')) width += 2;
  result.resize(static_cast<size_t>(width < 0 ? 0 : width), ' ');
  return result;
}
