// kivdata's CSV reader and the record encoding of its import: any text is split into rows;
// each row's cells, taken as the fields of each table in column order, either fail to encode
// or give a record whose exported row imports and exports unchanged. A parsed row written
// back as a CSV line after a header parses to the same cells.
#include <cstdint>
#include <string>
#include <vector>

#include "code_page_text.h"
#include "csv.h"
#include "field_layouts.h"
#include "fuzz_support.h"

namespace {

std::vector<std::string> texts(const CsvRow& row) {
  std::vector<std::string> cells;
  for (const CsvCell& cell : row.cells) cells.push_back(cell.text);
  return cells;
}

// Written as a row under a header, as export writes rows, the cells read back the same.
void checkRoundTrip(const std::vector<std::string>& cells) {
  if (cells.empty() || (cells.size() == 1 && cells[0].empty())) return;  // a blank line
  std::vector<CsvRow> again;
  std::string problem;
  FUZZ_CHECK(parseCsv(csvLine({"code"}) + csvLine(cells), again, problem));
  FUZZ_CHECK(again.size() == 2 && texts(again[1]) == cells);
}

void checkRecords(const std::vector<std::string>& cells) {
  for (const TableLayout& table : tableLayouts()) {
    const TableLayout placed = table.placedFor(0);
    FieldValues values(placed.fields.size());
    for (size_t i = 0; i < values.size() && i < cells.size(); ++i) values[i] = cells[i];
    std::string record, problem;
    int failedField = 0;
    const int length = placed.minimumRecordLength();
    if (!encodeRecord(placed, values, length, record, failedField, problem)) {
      FUZZ_CHECK(failedField >= 0 && static_cast<size_t>(failedField) < values.size());
      continue;
    }
    FUZZ_CHECK(record.size() == static_cast<size_t>(length));
    // Exported and imported again, the record gives the same row and the same record from
    // then on. (The first export may differ from the cells: the blanks and zero bytes that
    // end a text are padding, not text.)
    FieldValues decoded, decodedAgain;
    FUZZ_CHECK(decodeRecord(placed, record, decoded, problem));
    std::string again, third;
    FUZZ_CHECK(encodeRecord(placed, decoded, length, again, failedField, problem));
    FUZZ_CHECK(decodeRecord(placed, again, decodedAgain, problem) && decodedAgain == decoded);
    FUZZ_CHECK(encodeRecord(placed, decodedAgain, length, third, failedField, problem));
    FUZZ_CHECK(third == again);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<CsvRow> rows;
  std::string problem;
  if (parseCsv(text, rows, problem)) {
    for (const CsvRow& row : rows) {
      checkRoundTrip(texts(row));
      checkRecords(texts(row));
    }
  } else {
    FUZZ_CHECK(!problem.empty());
  }
  // Every code page byte has a character, and that character converts back to the byte.
  std::string bytes;
  FUZZ_CHECK(utf8ToCodePage850(codePage850ToUtf8(text), bytes, problem));
  FUZZ_CHECK(bytes == text);
  return 0;
}
