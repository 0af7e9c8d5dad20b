#include "ui/calculator_state.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "core/session_settings.h"
#include "platform/files.h"

namespace {

// Fields before the tape, and fields per tape entry.
constexpr size_t StateFields = 10, TapeFields = 4;

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// The fields of the file in order: separated by commas or line ends, a field in double
// quotes running to the closing quote (commas and line ends inside it included), blanks
// around an unquoted field dropped.
std::vector<std::string> splitFields(const std::string& bytes) {
  std::vector<std::string> fields;
  size_t at = 0;
  const size_t end = bytes.size();
  while (at < end) {
    while (at < end && bytes[at] == ' ') ++at;
    std::string field;
    if (at < end && bytes[at] == '"') {
      const size_t close = bytes.find('"', at + 1);
      const size_t stop = close == std::string::npos ? end : close;
      field = bytes.substr(at + 1, stop - at - 1);
      at = stop == end ? end : stop + 1;
      // Anything after the closing quote up to the separator is not part of the field.
      while (at < end && bytes[at] != ',' && !isLineEnd(bytes[at])) ++at;
    } else {
      while (at < end && bytes[at] != ',' && !isLineEnd(bytes[at])) field += bytes[at++];
      while (!field.empty() && field.back() == ' ') field.pop_back();
    }
    fields.push_back(field);
    if (at < end && bytes[at] == ',') {
      ++at;
      if (at == end) fields.emplace_back();  // a trailing comma ends an empty field
    } else if (at < end && bytes[at] == '\r') {
      ++at;
      if (at < end && bytes[at] == '\n') ++at;
    } else if (at < end) {
      ++at;  // a lone line feed
    }
  }
  return fields;
}

std::optional<long> wholeNumber(const std::string& field) {
  long value = 0;
  const char* first = field.data();
  const char* last = first + field.size();
  auto [stop, error] = std::from_chars(first, last, value);
  if (error != std::errc() || stop != last || field.empty()) return std::nullopt;
  return value;
}

std::optional<double> realNumber(const std::string& field) {
  double value = 0;
  const char* first = field.data();
  const char* last = first + field.size();
  auto [stop, error] = std::from_chars(first, last, value);
  if (error != std::errc() || stop != last || field.empty() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// The field as a 16-bit value within [low, high]; otherwise target keeps its value.
void takeWhole(const std::string& field, long low, long high, int16_t& target) {
  const std::optional<long> value = wholeNumber(field);
  if (value && *value >= low && *value <= high) target = static_cast<int16_t>(*value);
}

void takeFlag(const std::string& field, int16_t& target) {
  takeWhole(field, -1, 0, target);
}

void takeReal(const std::string& field, double& target) {
  if (const std::optional<double> value = realNumber(field)) target = *value;
}

void takeOperator(const std::string& field, std::string& target) {
  if (field == "+" || field == "-" || field == "*" || field == "/" || field.empty()) {
    target = field;
  }
}

void takeStateField(size_t index, const std::string& field, CalculatorState& state) {
  switch (index) {
    case 0:
      takeWhole(field, CalcFirstColumn, CalcLastColumn, state.calcColumn);
      break;
    case 1:
      takeWhole(field, CalcFirstTapeRow, CalcNoTapeRow, state.tapeFirstRow);
      break;
    case 2:
      takeReal(field, state.entryValue);
      break;
    case 3:
      takeReal(field, state.accumulator);
      break;
    case 4:
      takeFlag(field, state.clearArmed);
      break;
    case 5:
      takeFlag(field, state.entryActive);
      break;
    case 6:
      takeFlag(field, state.entryHasPoint);
      break;
    case 7:
      takeWhole(field, 0, MaxCalcDecimals, state.entryDecimals);
      break;
    case 8:
      if (field.size() <= 2) state.currentOp = field;
      break;
    default:
      takeOperator(field, state.pendingOp);
      break;
  }
}

void takeTapeField(size_t index, const std::string& field, CalcTapeEntry& entry) {
  switch (index) {
    case 0:
      takeReal(field, entry.value);
      break;
    case 1:
      takeFlag(field, entry.hasPoint);
      break;
    case 2:
      takeWhole(field, 0, MaxCalcDecimals, entry.decimals);
      break;
    default:
      if (!field.empty()) entry.op = field[0];
      break;
  }
}

std::string realText(double value) {
  char text[32];
  auto [stop, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, stop) : std::string("0");
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

CalculatorState parseCalculatorState(const std::string& bytes) {
  CalculatorState state;
  const std::vector<std::string> fields = splitFields(bytes);
  const size_t lastField = StateFields + TapeFields * CalcTapeSize;
  for (size_t i = 0; i < fields.size() && i < lastField; ++i) {
    if (i < StateFields) {
      takeStateField(i, fields[i], state);
    } else {
      const size_t tapeIndex = (i - StateFields) / TapeFields;
      takeTapeField((i - StateFields) % TapeFields, fields[i], state.calcTape[tapeIndex]);
    }
  }
  return state;
}

std::string calculatorStateText(const CalculatorState& state) {
  const std::string lineEnd = "\r\n";
  std::string text = std::to_string(state.calcColumn) + "," + std::to_string(state.tapeFirstRow) +
                     "," + realText(state.entryValue) + "," + realText(state.accumulator) + lineEnd;
  text += std::to_string(state.clearArmed) + "," + std::to_string(state.entryActive) + "," +
          std::to_string(state.entryHasPoint) + "," + std::to_string(state.entryDecimals) + lineEnd;
  text += quoted(state.currentOp) + "," + quoted(state.pendingOp) + lineEnd;
  for (const CalcTapeEntry& entry : state.calcTape) {
    text += realText(entry.value) + "," + std::to_string(entry.hasPoint) + "," +
            std::to_string(entry.decimals) + "," + quoted(std::string(1, entry.op)) + lineEnd;
  }
  return text;
}

std::string calculatorStateFileName() {
  return sessionSettings.terminalDir + "KIVCALC.TMP";
}

CalculatorState loadCalculatorState() {
  const std::string name = calculatorStateFileName();
  const std::optional<std::string> bytes = readFileBytes(name);
  if (!bytes) {
    if (!fileExists(name)) writeFileBytes(name, "");
    return CalculatorState{};
  }
  return parseCalculatorState(*bytes);
}

bool saveCalculatorState(const CalculatorState& state) {
  return writeFileBytes(calculatorStateFileName(), calculatorStateText(state));
}
