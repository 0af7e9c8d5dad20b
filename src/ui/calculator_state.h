// The calculator's state between openings, kept in KIVCALC.TMP of the terminal directory.
//
// The file is text, lines of comma-separated fields ending in CR LF; numbers are plain
// decimal text, texts are between double quotes:
//   line 1        calcColumn, tapeFirstRow, entryValue, accumulator
//   line 2        clearArmed, entryActive, entryHasPoint, entryDecimals
//   line 3        "currentOp", "pendingOp"
//   lines 4 to 25 tape entry 1 to 22: value, point flag, decimals, "operator"
// Reading takes the fields in order whatever the line breaks; a field that is missing,
// does not parse or lies outside its range keeps its first-use value, and groups after
// the 22nd tape entry are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Tape lines the state holds; the last is the newest.
constexpr int CalcTapeSize = 22;
// Most decimals an entry can carry: the display picture has room for no more.
constexpr int16_t MaxCalcDecimals = 20;
// The strip's left column runs from CalcFirstColumn to CalcLastColumn; tapeFirstRow from
// CalcFirstTapeRow (every tape line shown) to CalcNoTapeRow (none).
constexpr int16_t CalcFirstColumn = 1, CalcLastColumn = 55;
constexpr int16_t CalcFirstTapeRow = 2, CalcNoTapeRow = 23;

struct CalcTapeEntry {
  double value = 0;
  int16_t hasPoint = 0;  // -1 when written with a decimal point
  int16_t decimals = 0;
  char op = ' ';  // the operator key, blank for a result line
  bool operator==(const CalcTapeEntry&) const = default;
};

struct CalculatorState {
  int16_t calcColumn = CalcFirstColumn;  // left column of the 26-column strip
  int16_t tapeFirstRow = CalcNoTapeRow;  // screen row of the oldest tape line shown
  double entryValue = 0;      // the number being typed, or the last result
  double accumulator = 0;
  int16_t clearArmed = -1;  // -1: a further C clears the tape view
  int16_t entryActive = 0;  // -1 while a number is being typed
  int16_t entryHasPoint = 0;
  int16_t entryDecimals = 0;
  std::string currentOp;  // the key being handled: a character, or 2 bytes of a key code
  std::string pendingOp;  // "+", "-", "*", "/" or empty
  std::array<CalcTapeEntry, CalcTapeSize> calcTape{};  // calcTape[i] is tape entry i + 1
  bool operator==(const CalculatorState&) const = default;
};

// The state described by the bytes of a state file; never fails.
CalculatorState parseCalculatorState(const std::string& bytes);
// The state file's bytes for the state.
std::string calculatorStateText(const CalculatorState& state);

// terminalDir + "KIVCALC.TMP".
std::string calculatorStateFileName();
// The state in the file, or the first-use state; a missing file is created empty.
CalculatorState loadCalculatorState();
// Rewrites the file whole; false when it cannot be written.
bool saveCalculatorState(const CalculatorState& state);
