// The fields of the three record files of an installation, by byte offset, as CSV columns:
// what `import`, `export` and `demo` write and read.
#pragma once

#include <string>
#include <vector>

enum class FieldEncoding {
  Text,          // fixed-width code page 850, blank-padded; CSV text is UTF-8
  PackedDigits,  // two decimal digits a byte, each byte 0x80 + 10 * d1 + d2
  Integer16,     // little-endian signed
  Integer32,     // little-endian signed
  KeyByte,       // one byte, 0 to 255, at the position of the file's key 0
};

struct FieldLayout {
  std::string column;
  int offset = 0;  // for KeyByte: taken from the file's key 0 (see placedFor)
  int width = 0;
  FieldEncoding encoding = FieldEncoding::Text;
  bool key = false;  // part of key 0: the column must be present and not empty
};

struct TableLayout {
  std::string name;      // "properties", "apartments", "concepts"
  std::string fileName;  // base name of the record file under DADES
  std::vector<FieldLayout> fields;

  int columnIndex(const std::string& column) const;  // -1 when there is no such column
  std::vector<std::string> columns() const;
  // Bytes a record must have to hold every field.
  int minimumRecordLength() const;
  // Bytes of the fields that make up the table's key (its file's key 0).
  int keyLength() const;
  // The layout with the KeyByte field placed at `keyOffset` (the file's key 0).
  TableLayout placedFor(int keyOffset) const;
};

// The three tables; null for any other name.
const TableLayout* findTableLayout(const std::string& name);
const std::vector<TableLayout>& tableLayouts();

// Field values in the layout's column order, as UTF-8 CSV text.
using FieldValues = std::vector<std::string>;

// Builds a record of `recordLength` bytes from the values: zero bytes, except the fields
// (empty text is blanks, an empty number is 0, so an empty tenant is the packed zero).
// False on the first value that does not fit, with its index in `failedField` and the
// reason in `problem`.
bool encodeRecord(const TableLayout& layout, const FieldValues& values, int recordLength,
                  std::string& record, int& failedField, std::string& problem);

// The fields of a record as CSV text: text without its trailing blanks, numbers in decimal.
// False when a packed field holds bytes that are not packed digits.
bool decodeRecord(const TableLayout& layout, const std::string& record, FieldValues& values,
                  std::string& problem);

// Packed digits of `number` in `width` bytes; the number must fit.
std::string packDecimal(long long number, int width);
// The number held by packed bytes; false when a byte is not 0x80 + two digits.
bool unpackDecimal(const std::string& bytes, long long& number);
