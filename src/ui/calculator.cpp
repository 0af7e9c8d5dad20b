#include "ui/calculator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "locale/numeric_picture.h"
#include "platform/console.h"
#include "ui/field_editor.h"
#include "ui/keyboard.h"
#include "ui/pop_ups.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

CalculatorState calculatorState;

namespace {

CalculatorState& state = calculatorState;

constexpr int16_t StripWidth = 26;
constexpr int16_t TapeBottomRow = 22, SeparatorRow = 23, DisplayRow = 24, BottomRow = 25;
constexpr int16_t StripTop = 1, StripBottom = 25;

// Code page 850 single-line box characters.
constexpr char BoxTopLeft = '\xDA', BoxTopRight = '\xBF', BoxBottomLeft = '\xC0',
               BoxBottomRight = '\xD9', BoxTeeLeft = '\xC3', BoxTeeRight = '\xB4',
               BoxHorizontal = '\xC4', BoxVertical = '\xB3';

double powerOfTen(int exponent) {
  return std::pow(10.0, exponent);
}

bool isOn(int16_t flag) {
  return flag != 0;
}

// --- Drawing -------------------------------------------------------------------------------

// A 22-character picture: a sign place, as many integer places of
// "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9" as are left, then the point and one place per decimal.
std::string numberPicture(int16_t hasPoint, int16_t decimals) {
  static const std::string integerPlaces = "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";
  const int shownDecimals = isOn(hasPoint) ? std::clamp<int>(decimals, 0, MaxCalcDecimals) : 0;
  const int room =
      static_cast<int>(integerPlaces.size()) - (isOn(hasPoint) ? 1 : 0) - shownDecimals;
  std::string picture = "-" + integerPlaces.substr(integerPlaces.size() - room);
  if (isOn(hasPoint)) picture += ".";
  return picture + std::string(static_cast<size_t>(shownDecimals), '9');
}

std::string numberText(double value, int16_t hasPoint, int16_t decimals) {
  return formatNumber(numberPicture(hasPoint, decimals), value);
}

void writeStripRow(int16_t row, const std::string& text) {
  console().setCursor(row, state.calcColumn);
  console().writeText(text);
}

std::string ruledLine(char left, char right) {
  return left + std::string(StripWidth - 2, BoxHorizontal) + right;
}

bool tapeShown() {
  return state.tapeFirstRow <= TapeBottomRow;
}

// The strip below the display's top: the tape lines shown with their frame, the line
// above the display and the bottom line. Rows above the tape keep what they cover.
void drawTape() {
  setColour("n");
  if (tapeShown()) {
    writeStripRow(static_cast<int16_t>(state.tapeFirstRow - 1), ruledLine(BoxTopLeft, BoxTopRight));
    for (int16_t row = state.tapeFirstRow; row <= TapeBottomRow; ++row) {
      const CalcTapeEntry& entry = state.calcTape[static_cast<size_t>(row - 1)];
      writeStripRow(row, BoxVertical + numberText(entry.value, entry.hasPoint, entry.decimals) +
                             " " + entry.op + BoxVertical);
    }
  }
  writeStripRow(SeparatorRow, tapeShown() ? ruledLine(BoxTeeLeft, BoxTeeRight)
                                          : ruledLine(BoxTopLeft, BoxTopRight));
  writeStripRow(BottomRow, ruledLine(BoxBottomLeft, BoxBottomRight));
}

void drawDisplay() {
  setColour("n");
  writeStripRow(DisplayRow,
                BoxVertical +
                    numberText(state.entryValue, state.entryHasPoint, state.entryDecimals) + "  " +
                    BoxVertical);
}

bool openStrip() {
  if (!openWindow(StripTop, state.calcColumn, StripBottom,
                  static_cast<int16_t>(state.calcColumn + StripWidth - 1))) {
    return false;
  }
  drawTape();
  return true;
}

// Closes the strip and opens it again, at a new column or with a new tape view.
void reopenStrip() {
  closeWindow();
  openStrip();
}

// --- The entry -----------------------------------------------------------------------------

void refuse() {
  console().beep();
}

void startEntryIfIdle() {
  if (isOn(state.entryActive)) return;
  state.entryValue = 0;
  state.entryHasPoint = 0;
  state.entryDecimals = 0;
}

// The entry's digits as a whole number: entry x 10^decimals, rounded so that the binary
// fraction of the value does not lose a digit.
double scaledEntry(int decimals) {
  return std::round(state.entryValue * powerOfTen(decimals));
}

void typeDigit(int digit) {
  const bool active = isOn(state.entryActive);
  const double value = active ? state.entryValue : 0;
  const bool point = active && isOn(state.entryHasPoint);
  const int decimals = active ? state.entryDecimals : 0;
  double next;
  if (!point) {
    next = value * 10 + digit;
  } else {
    if (decimals >= MaxCalcDecimals) return refuse();
    next = (std::round(value * powerOfTen(decimals)) * 10 + digit) / powerOfTen(decimals + 1);
  }
  if (!std::isfinite(next)) return refuse();
  startEntryIfIdle();
  if (point) ++state.entryDecimals;
  state.entryValue = next;
  state.entryActive = -1;
}

void typePoint() {
  startEntryIfIdle();
  if (!isOn(state.entryHasPoint)) {
    state.entryHasPoint = -1;
    state.entryDecimals = 0;
  }
  state.entryActive = -1;
}

void backspace() {
  if (!isOn(state.entryHasPoint)) {
    state.entryValue = std::trunc(state.entryValue / 10);
  } else if (state.entryDecimals <= 0) {
    state.entryHasPoint = 0;
    state.entryDecimals = 0;
  } else {
    const double next =
        std::trunc(scaledEntry(state.entryDecimals) / 10) / powerOfTen(state.entryDecimals - 1);
    if (!std::isfinite(next)) return refuse();
    --state.entryDecimals;
    state.entryValue = next;
  }
  if (state.entryValue == 0) state.entryActive = 0;
}

// Digits of the integer part of |value|: 0 below 1.
int integerDigits(double value) {
  const double magnitude = std::fabs(value);
  int digits = 0;
  for (double limit = 1; limit <= magnitude && std::isfinite(limit); limit *= 10) ++digits;
  return digits;
}

// Keeps at most 15 significant digits of the entry and drops trailing zero decimals;
// the point and decimals follow what is left.
void normaliseEntry() {
  const double value = state.entryValue;
  const int n = integerDigits(value);
  int d = 0;
  while (d + n <= 14) {
    const double scaled = value * powerOfTen(d);
    if (scaled == std::trunc(scaled)) break;
    ++d;
  }
  double whole = std::round(value * powerOfTen(d));
  while (d > 0 && std::fmod(whole, 10.0) == 0) {
    whole /= 10;
    --d;
  }
  state.entryValue = whole / powerOfTen(d);
  state.entryHasPoint = d > 0 ? -1 : 0;
  state.entryDecimals = static_cast<int16_t>(d);
}

// --- The tape ------------------------------------------------------------------------------

void pushTape(char op) {
  std::rotate(state.calcTape.begin(), state.calcTape.begin() + 1, state.calcTape.end());
  state.calcTape.back() = {state.entryValue, state.entryHasPoint, state.entryDecimals, op};
  if (state.tapeFirstRow > CalcFirstTapeRow) --state.tapeFirstRow;
  drawTape();
}

// --- Operator steps ------------------------------------------------------------------------

void clearStep() {
  if (isOn(state.entryActive)) {  // clear entry
    state.entryActive = 0;
    state.entryValue = state.accumulator;
    state.entryHasPoint = 0;
    state.entryDecimals = 0;
  } else if (!isOn(state.clearArmed)) {  // clear all, the pending operation too
    state.entryValue = 0;
    state.accumulator = 0;
    state.entryHasPoint = 0;
    state.entryDecimals = 0;
    state.currentOp.clear();
    state.pendingOp.clear();
    state.clearArmed = -1;
  } else {  // clear the tape view; the tape stays in memory
    state.tapeFirstRow = CalcNoTapeRow;
    reopenStrip();
  }
}

// The value as written with 15 significant digits, so that a decimal half typed by the
// operator is still a half after the binary arithmetic.
double fifteenDigits(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.14e", value);
  return std::strtod(text, nullptr);
}

// Rounds to hundredths, an exact half to the even hundredth; negative values like
// positive ones.
double roundedToHundredths(double value) {
  const double hundredths = 100 * value;
  if (!std::isfinite(hundredths)) return value;  // far too large to have hundredths
  const double magnitude = std::fabs(fifteenDigits(hundredths));
  double whole = std::trunc(magnitude);
  const double fraction = magnitude - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return std::copysign(whole, value) / 100;
}

void roundStep() {
  state.entryValue = roundedToHundredths(state.entryValue);
  state.accumulator = state.entryValue;
  state.entryHasPoint = -1;
  state.entryDecimals = 2;
  pushTape('R');
}

void percentStep() {
  const bool ofTotal = state.pendingOp == "+" || state.pendingOp == "-";
  const double next = ofTotal ? state.accumulator / 100 * state.entryValue : state.entryValue / 100;
  if (!std::isfinite(next)) return refuse();
  pushTape('%');
  state.entryValue = next;
  normaliseEntry();
}

// "+", "-", "*", "/" or "=": the pending operation takes the entry into the total.
void arithmeticStep(char key) {
  const double entry = state.entryValue;
  double total = state.accumulator;
  if (state.pendingOp == "+") {
    total += entry;
  } else if (state.pendingOp == "-") {
    total -= entry;
  } else if (state.pendingOp == "*") {
    total *= entry;
  } else if (state.pendingOp == "/") {
    total /= entry;
  } else {
    total = entry;
  }
  if (!std::isfinite(total)) return refuse();
  state.accumulator = total;
  pushTape(key);
  state.entryValue = total;
  normaliseEntry();
  std::string next(1, key);
  if (key == '=') {
    next.clear();
    pushTape(' ');  // the result line
  }
  state.entryActive = 0;
  state.clearArmed = 0;
  state.pendingOp = next;
}

void operatorStep(char key) {
  switch (key) {
    case 'C':
      return clearStep();
    case 'R':
      return roundStep();
    case '%':
      return percentStep();
    default:
      return arithmeticStep(key);
  }
}

// --- Moving the strip ----------------------------------------------------------------------

void moveStrip(int16_t column) {
  closeWindow();
  state.calcColumn = column;
  openStrip();
}

// --- The result ----------------------------------------------------------------------------

// |value| x 100 with the decimals beyond two after a "."; false when it has too many digits
// to be written.
bool resultText(std::string& text) {
  const int d = std::max<int>(state.entryDecimals, 2);
  const double value = isOn(state.entryActive) ? state.entryValue : state.accumulator;
  const double scaled = std::round(std::fabs(value) * powerOfTen(d));
  if (!std::isfinite(scaled)) return false;
  char digits[400];
  std::snprintf(digits, sizeof digits, "%.0f", scaled);
  std::string whole = digits;
  const size_t fractionDigits = static_cast<size_t>(d - 2);
  if (whole.size() <= fractionDigits) whole.insert(0, fractionDigits + 1 - whole.size(), '0');
  text = whole.substr(0, whole.size() - fractionDigits);
  if (fractionDigits > 0) text += "." + whole.substr(whole.size() - fractionDigits);
  return true;
}

// The key as the text the state keeps: 2 bytes of an extended code, else the character
// upper-cased.
std::string keyText(int16_t key) {
  if (key > 255 || key < -255) {
    const auto value = static_cast<uint16_t>(key);
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
  }
  char c = static_cast<char>(key);
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return std::string(1, c);
}

enum class Outcome { GoOn, Accept, Cancel };

Outcome handleKey(int16_t key) {
  state.currentOp = keyText(key);
  switch (key) {
    case KeyLeft:
    case KeyCtrlLeft:
      moveStrip(state.calcColumn <= CalcFirstColumn ? CalcLastColumn
                                                : static_cast<int16_t>(state.calcColumn - 1));
      return Outcome::GoOn;
    case KeyRight:
    case KeyCtrlRight:
      moveStrip(state.calcColumn >= CalcLastColumn ? CalcFirstColumn
                                               : static_cast<int16_t>(state.calcColumn + 1));
      return Outcome::GoOn;
    case KeyAltF:
      return Outcome::Accept;
    case KeyEsc:
      return Outcome::Cancel;
    case KeyBackspace:
      backspace();
      return Outcome::GoOn;
    case KeyEnter:
      if (isOn(state.entryActive)) operatorStep('=');
      return Outcome::GoOn;
    default:
      break;
  }
  if (state.currentOp.size() != 1) return Outcome::GoOn;
  const char c = state.currentOp[0];
  if (c >= '0' && c <= '9') {
    typeDigit(c - '0');
  } else if (c == '.') {
    typePoint();
  } else if (c == '=') {
    if (isOn(state.entryActive)) operatorStep('=');
  } else if (std::string("+-*/%RC").find(c) != std::string::npos) {
    operatorStep(c);
  } else if (c == 'T') {
    state.entryValue = -state.entryValue;
  } else if (c == 'F') {
    return Outcome::Accept;
  }
  return Outcome::GoOn;
}

void leave() {
  showPopUpCursor();
  setColour("-");
  setEditKeys("-", "");
}

}  // namespace

std::string runCalculator() {
  setEditKeys("+e", "");
  setColour("+n");
  hidePopUpCursor();
  state = loadCalculatorState();
  if (!openStrip()) {  // a screen smaller than the strip
    refuse();
    leave();
    return "";
  }
  std::string result;
  for (;;) {
    drawDisplay();
    const Outcome outcome = handleKey(waitKey());
    if (outcome == Outcome::Cancel) break;
    if (outcome == Outcome::Accept) {
      if (resultText(result)) break;
      refuse();
    }
  }
  closeWindow();
  saveCalculatorState(state);
  leave();
  return result;
}

void resetCalculatorState() {
  state = CalculatorState{};
}
