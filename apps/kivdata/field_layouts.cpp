#include "field_layouts.h"

#include <algorithm>
#include <cstdint>

#include "code_page_text.h"
#include "command_line.h"

namespace {

std::vector<TableLayout> buildLayouts() {
  using E = FieldEncoding;
  TableLayout properties{"properties", "FinquesV", {
      {"code", 0, 2, E::PackedDigits, true},
      {"address", 8, 30, E::Text},
      {"address_flag", 141, 1, E::Text},
  }};
  TableLayout apartments{"apartments", "DepartaV", {
      {"property", 0, 2, E::PackedDigits, true},
      {"apartment", 2, 2, E::PackedDigits, true},
      {"designation", 38, 10, E::Text},
      {"own_address", 98, 30, E::Text},
      {"tenant", 189, 4, E::PackedDigits},
  }};
  for (int k = 1; k <= 10; ++k)
    apartments.fields.push_back({"amount" + std::to_string(k), 277 + 4 * (k - 1), 4, E::Integer32});
  for (int m = 0; m < 3; ++m) {
    std::string entry = "extra" + std::to_string(m + 1);
    apartments.fields.push_back({entry + "_code", 317 + 6 * m, 2, E::Integer16});
    apartments.fields.push_back({entry + "_amount", 319 + 6 * m, 4, E::Integer32});
  }
  // The last entry keeps 2 unused bytes between its code and its amount.
  apartments.fields.push_back({"last_code", 335, 2, E::Integer16});
  apartments.fields.push_back({"last_amount", 339, 4, E::Integer32});
  TableLayout concepts{"concepts", "TVRebut", {
      {"code", 0, 1, E::KeyByte, true},
      {"name", 1, 20, E::Text},
      {"kind", 24, 2, E::Integer16},
  }};
  return {properties, apartments, concepts};
}

long long powerOfTen(int exponent) {
  long long value = 1;
  while (exponent-- > 0) value *= 10;
  return value;
}

void putLittleEndian(std::string& record, int offset, int width, long long value) {
  for (int i = 0; i < width; ++i)
    record[offset + i] = static_cast<char>((static_cast<unsigned long long>(value) >> (8 * i)) & 0xFF);
}

long long getLittleEndian(const std::string& record, int offset, int width) {
  unsigned long long value = 0;
  for (int i = width - 1; i >= 0; --i)
    value = (value << 8) | static_cast<uint8_t>(record[offset + i]);
  // Sign extension from the field's width.
  unsigned long long sign = 1ULL << (8 * width - 1);
  return static_cast<long long>((value ^ sign) - sign);
}

// Range of the numbers a field holds.
void numberRange(const FieldLayout& field, long long& low, long long& high) {
  switch (field.encoding) {
    case FieldEncoding::PackedDigits: low = 0; high = powerOfTen(2 * field.width) - 1; break;
    case FieldEncoding::Integer16: low = INT16_MIN; high = INT16_MAX; break;
    case FieldEncoding::Integer32: low = INT32_MIN; high = INT32_MAX; break;
    default: low = 0; high = 255; break;
  }
}

// An optional sign and at least one digit, nothing else.
bool isWholeNumber(const std::string& text) {
  size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (digits == text.size()) return false;
  return text.find_first_not_of("0123456789", digits) == std::string::npos;
}

bool encodeField(const FieldLayout& field, const std::string& value, std::string& record,
                 std::string& problem) {
  if (field.key && value.empty()) {
    problem = "empty (it is part of the key)";
    return false;
  }
  if (field.encoding == FieldEncoding::Text) {
    std::string bytes;
    if (!utf8ToCodePage850(value, bytes, problem)) return false;
    if (static_cast<int>(bytes.size()) > field.width) {
      problem = "text too long (" + std::to_string(bytes.size()) + " characters, at most " +
                std::to_string(field.width) + ")";
      return false;
    }
    bytes.resize(field.width, ' ');
    record.replace(field.offset, field.width, bytes);
    return true;
  }
  long long low, high, number = 0;
  numberRange(field, low, high);
  if (!value.empty() && !isWholeNumber(value)) {
    problem = "\"" + value + "\" is not a whole number";
    return false;
  }
  if (!value.empty() && !parseInteger(value, low, high, number)) {
    problem = "number " + value + " out of range (" + std::to_string(low) + " to " +
              std::to_string(high) + ")";
    return false;
  }
  if (field.encoding == FieldEncoding::PackedDigits)
    record.replace(field.offset, field.width, packDecimal(number, field.width));
  else
    putLittleEndian(record, field.offset, field.width, number);
  return true;
}

}  // namespace

const std::vector<TableLayout>& tableLayouts() {
  static const std::vector<TableLayout> layouts = buildLayouts();
  return layouts;
}

const TableLayout* findTableLayout(const std::string& name) {
  for (const TableLayout& layout : tableLayouts())
    if (layout.name == name) return &layout;
  return nullptr;
}

int TableLayout::columnIndex(const std::string& column) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].column == column) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> TableLayout::columns() const {
  std::vector<std::string> names;
  for (const FieldLayout& field : fields) names.push_back(field.column);
  return names;
}

int TableLayout::keyLength() const {
  int length = 0;
  for (const FieldLayout& field : fields)
    if (field.key) length += field.width;
  return length;
}

int TableLayout::minimumRecordLength() const {
  int length = 0;
  for (const FieldLayout& field : fields) length = std::max(length, field.offset + field.width);
  return length;
}

TableLayout TableLayout::placedFor(int keyOffset) const {
  TableLayout placed = *this;
  for (FieldLayout& field : placed.fields)
    if (field.encoding == FieldEncoding::KeyByte) field.offset = keyOffset;
  return placed;
}

std::string packDecimal(long long number, int width) {
  std::string bytes(width, '\0');
  for (int i = width - 1; i >= 0; --i) {
    bytes[i] = static_cast<char>(0x80 + number % 100);
    number /= 100;
  }
  return bytes;
}

bool unpackDecimal(const std::string& bytes, long long& number) {
  number = 0;
  for (char c : bytes) {
    int value = static_cast<uint8_t>(c) - 0x80;
    if (value < 0 || value > 99) return false;
    number = number * 100 + value;
  }
  return true;
}

bool encodeRecord(const TableLayout& layout, const FieldValues& values, int recordLength,
                  std::string& record, int& failedField, std::string& problem) {
  record.assign(recordLength, '\0');
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    const std::string& value = i < values.size() ? values[i] : std::string();
    if (!encodeField(layout.fields[i], value, record, problem)) {
      failedField = static_cast<int>(i);
      return false;
    }
  }
  return true;
}

bool decodeRecord(const TableLayout& layout, const std::string& record, FieldValues& values,
                  std::string& problem) {
  values.clear();
  for (const FieldLayout& field : layout.fields) {
    if (field.offset + field.width > static_cast<int>(record.size())) {
      problem = "record of " + std::to_string(record.size()) + " bytes has no field " + field.column;
      return false;
    }
    std::string bytes = record.substr(field.offset, field.width);
    switch (field.encoding) {
      case FieldEncoding::Text: {
        size_t end = bytes.find_last_not_of(std::string(" \0", 2));
        values.push_back(codePage850ToUtf8(bytes.substr(0, end == std::string::npos ? 0 : end + 1)));
        break;
      }
      case FieldEncoding::PackedDigits: {
        long long number;
        if (!unpackDecimal(bytes, number)) {
          problem = "field " + field.column + " does not hold packed digits";
          return false;
        }
        values.push_back(std::to_string(number));
        break;
      }
      case FieldEncoding::KeyByte:
        values.push_back(std::to_string(static_cast<uint8_t>(bytes[0])));
        break;
      default:
        values.push_back(std::to_string(getLittleEndian(record, field.offset, field.width)));
        break;
    }
  }
  return true;
}
