#include "locale/numeric_picture.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/ini_file.h"
#include "core/session_settings.h"

NumberSettings numberSettings;

namespace {

char settingChar(const std::string& key, char fallback) {
  std::string value = readIniValue(sessionSettings.rootDir + "Quon.ini", "Usuari", key);
  return value.empty() || value[0] == ' ' ? fallback : value[0];
}

void loadNumberSettings() {
  if (numberSettings.loaded) return;
  numberSettings.decimalChar = settingChar("DecCaracter", '\'');
  numberSettings.thousandsChar = settingChar("MilCaracter", '.');
  numberSettings.loaded = true;
}

std::string lastChars(const std::string& text, size_t n) {
  return text.size() > n ? text.substr(text.size() - n) : text;
}

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isDigitPlace(char c) {
  return c == '9' || c == 'Z' || c == 'z' || c == '*';
}
bool isCountedPlace(char c) {
  return isDigitPlace(c) || c == '-' || c == '+';
}

// Rounds half to even: 2.5 gives 2, 3.5 gives 4.
double roundHalfEven(double x) {
  double whole = std::floor(x);
  double fraction = x - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return whole;
}

// A whole non-negative number in decimal without leading zeros; empty for 0.
std::string wholeDigits(double m) {
  if (m < 1.0) return std::string();
  int size = std::snprintf(nullptr, 0, "%.0f", m);
  std::string digits(static_cast<size_t>(size), '\0');
  std::snprintf(digits.data(), digits.size() + 1, "%.0f", m);
  return digits;
}

// The picture as it stands: where its decimals are and whether it carries a sign.
struct PictureShape {
  bool signInPicture = false;
  long afterCount = 0;  // places after the first "." that take a digit or a sign
  long decimals = 0;    // digit places right after that "."
};

PictureShape analysePicture(const std::string& picture) {
  PictureShape shape;
  shape.signInPicture = picture.find_first_of("-+") != std::string::npos;
  size_t dot = picture.find('.');
  if (dot == std::string::npos || dot + 1 == picture.size()) return shape;
  for (size_t i = dot + 1; i < picture.size(); ++i) shape.afterCount += isCountedPlace(picture[i]);
  if (shape.afterCount == 0) return shape;
  for (size_t i = dot + 1; i < picture.size() && isDigitPlace(picture[i]); ++i) ++shape.decimals;
  return shape;
}

// A number too wide for its picture: sign, integer digits, decimal point and decimals,
// right-aligned; all "!" when even the integer part does not fit.
std::string plainNumber(const std::string& digits, long decimals, bool negative, size_t width) {
  std::string decimalDigits = lastChars(digits, static_cast<size_t>(decimals));
  std::string integerDigits = digits.substr(0, digits.size() - decimalDigits.size());
  if (width < integerDigits.size() + (negative ? 1 : 0)) return std::string(width, '!');
  decimalDigits.insert(0, static_cast<size_t>(decimals) - decimalDigits.size(), '0');
  std::string plain = (negative ? "-" : "") + integerDigits;
  if (decimals >= 1) plain += numberSettings.decimalChar + decimalDigits;
  if (plain.size() < width) return std::string(width - plain.size(), ' ') + plain;
  return plain.substr(0, width);
}

}  // namespace

void resetNumberSettings() {
  numberSettings = NumberSettings{};
}

std::string formatNumber(const std::string& picture, double value) {
  loadNumberSettings();
  const char decimalChar = numberSettings.decimalChar;
  const char thousandsChar = numberSettings.thousandsChar;
  const long L = static_cast<long>(picture.size());
  const PictureShape shape = analysePicture(picture);
  long afterCount = shape.afterCount;
  const long decimals = shape.decimals;

  const double m = roundHalfEven(std::fabs(value) * std::pow(10.0, static_cast<double>(decimals)));
  if (!std::isfinite(m)) return std::string(picture.size(), '!');
  const std::string digits = wholeDigits(m);
  const long digitCount = static_cast<long>(digits.size());
  const bool negative = value < 0;
  bool minusPending = negative;
  // Index (1-based) in digits of the digit for the place being filled.
  long k = afterCount + digitCount - decimals;

  auto inDecimalZone = [&](long pos) { return pos >= L - afterCount; };
  auto digitAt = [&](long i) { return i >= 1 && i <= digitCount ? digits[i - 1] : '\0'; };
  auto nonZeroFrom = [&](long i) {
    return i >= 1 && i <= digitCount && digits.find_first_not_of('0', i - 1) != std::string::npos;
  };

  std::string out = picture;
  int w = 0;  // the fill written last; +256 when it stood where no digit was
  long pos = L;
  // First pass: the digits, from the right.
  for (; pos >= 1 && k > 0; --pos) {
    char& place = out[pos - 1];
    const char d = digitAt(k);
    switch (picture[pos - 1]) {
      case '9':
        place = d ? d : '0';
        w = 0;
        --k;
        break;
      case 'Z':
      case 'z': {
        bool blank;
        if (!inDecimalZone(pos)) {
          blank = !d;
          place = d ? d : ' ';
        } else {
          blank = !(nonZeroFrom(k) || afterCount == 0);
          place = blank ? ' ' : (d ? d : '0');
        }
        w = 32 + ((!d || blank) ? 256 : 0);
        --k;
        break;
      }
      case '*':
        place = d ? d : '*';
        w = 42 + (d ? 0 : 256);
        --k;
        break;
      case '.':
        place = w > 255 ? static_cast<char>(w - 256) : decimalChar;
        afterCount = 0;
        break;
      case ',':
        place = thousandsChar;
        break;
      case '-':
        place = negative ? '-' : ' ';
        if (afterCount > 0) --k;
        break;
      case '+':
        place = negative ? '-' : '+';
        if (afterCount > 0) --k;
        break;
      default:
        break;
    }
  }

  const bool noRoomForSign = negative && !shape.signInPicture && pos == 0;
  if (k > 0 || noRoomForSign) return plainNumber(digits, decimals, negative, picture.size());

  // Second pass: the fill left of the digits, with a floating minus when the picture has no sign.
  for (; pos >= 1; --pos) {
    char& place = out[pos - 1];
    const bool floatMinus = minusPending && !shape.signInPicture;
    switch (picture[pos - 1]) {
      case '9':
        if (floatMinus && !inDecimalZone(pos)) {
          place = '-';
          minusPending = false;
        } else {
          place = '0';
        }
        w = 0;
        break;
      case 'Z':
      case 'z':
        if (floatMinus) {
          place = '-';
          minusPending = false;
        } else if (!inDecimalZone(pos) || value == 0) {
          place = ' ';
          w = 288;
        } else {
          place = '0';
          w = 32;
        }
        break;
      case '*':
        if (floatMinus) {
          place = '-';
          minusPending = false;
        } else {
          place = inDecimalZone(pos) ? '0' : '*';
          w = 42;
        }
        break;
      case ',':
        if (floatMinus) {
          place = '-';
          minusPending = false;
        } else {
          place = w != 0 ? static_cast<char>(w % 256) : thousandsChar;
        }
        break;
      case '.':
        place = w > 255 ? static_cast<char>(w - 256) : decimalChar;
        break;
      case '-':
        place = negative ? '-' : ' ';
        break;
      case '+':
        place = negative ? '-' : '+';
        break;
      default:
        break;
    }
  }
  return out;
}

std::string formatPicture(const std::string& picture, double amount) {
  const size_t L = picture.size();
  char fill = 'Z';
  bool showUnits = amount != 0;
  int signMode = 0;
  long dec = 0;
  bool grouping = false;
  bool afterPoint = false;
  for (size_t i = 0; i < L; ++i) {
    switch (picture[i]) {
      case '.':
        ++dec;
        afterPoint = true;
        break;
      case '-':
        signMode = i == 0 ? -2 : -1;
        break;
      case '+':
        signMode = i == 0 ? 2 : 1;
        break;
      case ',':
        grouping = true;
        break;
      case 'Z':
        fill = 'Z';
        break;
      case '*':
        fill = '*';
        break;
      case '9':
        if (afterPoint) {
          ++dec;
        } else {
          showUnits = true;
        }
        break;
      default:
        break;
    }
  }

  std::string out(L, fill);
  if (showUnits) out = lastChars(out + "9", L);
  if (grouping) {
    for (long n = static_cast<long>(L) - 3; n >= 1; n -= 4) {
      out = lastChars(
          out.substr(0, static_cast<size_t>(n)) + "," + out.substr(static_cast<size_t>(n)), L);
    }
  }
  double value;
  if (numberSettings.activeCurrency == "P") {
    value = amount / 100 * static_cast<double>(166.386f);
  } else {
    value = amount / 100;
    dec = dec == 0 ? 3 : dec + 2;
  }
  if (dec != 0)
    out =
        lastChars(out + "." + std::string(static_cast<size_t>(dec - 1), showUnits ? '9' : 'Z'), L);
  const char sign = signMode < 0 ? '-' : '+';
  if (signMode == 1 || signMode == -1) out = lastChars(out + sign, L);
  if ((signMode == 2 || signMode == -2) && !out.empty()) out[0] = sign;
  return formatNumber(lastChars(out, L), value);
}

void setCurrency(const std::string& text) {
  const char first = text.empty() ? '\0' : upper(text[0]);
  const size_t comma = text.find(',');
  if (comma == std::string::npos) {
    const bool alternate = first == 'P' && !numberSettings.alternateCurrency.empty();
    numberSettings.activeCurrency =
        alternate ? numberSettings.alternateCurrency : numberSettings.primaryCurrency;
    return;
  }
  const size_t at = text.find_first_not_of(' ', comma + 1);
  const std::string letter = at == std::string::npos ? "" : std::string(1, upper(text[at]));
  if (first == 'A') {
    numberSettings.alternateCurrency = letter;
  } else {
    numberSettings.primaryCurrency = letter;
    numberSettings.activeCurrency = letter;
  }
}

std::string padNumber(double value, int16_t width) {
  if (width < 1) return std::string();
  char text[512];
  const double magnitude = std::fabs(value);
  // Whole numbers keep every digit (dates as YYYYMMDD); others their 15 significant digits.
  if (magnitude == std::floor(magnitude) && magnitude < 1e15) {
    std::snprintf(text, sizeof text, "%.0f", magnitude);
  } else {
    std::snprintf(text, sizeof text, "%.15g", magnitude);
  }
  return lastChars(std::string(static_cast<size_t>(width), '0') + text, static_cast<size_t>(width));
}
