// import and export: the records of the three files of an installation as CSV tables.
#include <iostream>
#include <iterator>
#include <optional>

#include "commands.h"
#include "csv.h"
#include "field_layouts.h"
#include "platform/files.h"
#include "record_file.h"

namespace {

// The layout named on the command line; null (after a usage message) when there is none.
const TableLayout* namedLayout(const std::string& command, const std::string& name) {
  const TableLayout* layout = findTableLayout(name);
  if (!layout)
    commandUsage(command, "unknown table \"" + name + "\" (properties, apartments or concepts)");
  return layout;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// Opens the record file and fits the layout to it: key 0 must be as long as the table's key,
// the key byte of the concepts goes where the file's key 0 lies, and the records must be
// long enough for every field.
bool openTable(const std::string& path, int8_t mode, const TableLayout& layout, RecordFile& file,
               TableLayout& placed, int& recordLength, std::string& problem) {
  int16_t status = file.open(path, mode);
  if (status != RecordStatus::Success) {
    problem = "cannot open " + path + ": " + describeStatus(status);
    return false;
  }
  FileLayout description;
  uint32_t records = 0;
  status = file.stat(description, records);
  if (status != RecordStatus::Success) {
    problem = "cannot read the description of " + path + ": " + describeStatus(status);
    return false;
  }
  // Another table's file would read as rows of this one: its key tells them apart.
  const int keyLength = description.keys.empty() ? 0 : description.keys[0].length;
  if (keyLength != layout.keyLength()) {
    problem = path + " is not a file of " + layout.name + ": its key 0 has " +
              std::to_string(keyLength) + " bytes, the key of " + layout.name + " " +
              std::to_string(layout.keyLength());
    return false;
  }
  placed = layout.placedFor(description.keys[0].segments.at(0).offset);
  recordLength = description.recordLength;
  if (recordLength < placed.minimumRecordLength()) {
    problem = path + " has records of " + std::to_string(recordLength) + " bytes; " +
              layout.name + " need at least " + std::to_string(placed.minimumRecordLength());
    return false;
  }
  return true;
}

bool readWhole(const std::string& name, std::string& text) {
  if (name == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::optional<std::string> bytes = readFileBytes(name);
  if (bytes) text = std::move(*bytes);
  return bytes.has_value();
}

// For each CSV column, the index of its field in the layout.
bool mapHeader(const TableLayout& layout, const CsvRow& header, const std::string& csvName,
               std::vector<int>& fieldOfColumn, std::string& problem) {
  fieldOfColumn.clear();
  std::vector<int> columnOfField(layout.fields.size(), -1);
  for (size_t c = 0; c < header.cells.size(); ++c) {
    std::string name = header.cells[c].text;
    size_t first = name.find_first_not_of(' '), last = name.find_last_not_of(' ');
    name = first == std::string::npos ? "" : name.substr(first, last - first + 1);
    std::string where = csvName + " line " + std::to_string(header.line) + ", column " +
                        std::to_string(c + 1) + ": ";
    int field = layout.columnIndex(name);
    if (field < 0) {
      problem = where + "unknown column \"" + name + "\"; the columns of " + layout.name +
                " are " + joined(layout.columns());
      return false;
    }
    if (columnOfField[field] >= 0) {
      problem = where + "column \"" + name + "\" given twice";
      return false;
    }
    columnOfField[field] = static_cast<int>(c);
    fieldOfColumn.push_back(field);
  }
  for (size_t f = 0; f < layout.fields.size(); ++f) {
    if (layout.fields[f].key && columnOfField[f] < 0) {
      problem = csvName + " line " + std::to_string(header.line) + ": the key column \"" +
                layout.fields[f].column + "\" is missing";
      return false;
    }
  }
  return true;
}

// "line 4, column 2 (address)" for the cell of `field` in `row`.
std::string cellPlace(const TableLayout& layout, const CsvRow& row,
                      const std::vector<int>& fieldOfColumn, int field) {
  for (size_t c = 0; c < fieldOfColumn.size(); ++c)
    if (fieldOfColumn[c] == field)
      return "line " + std::to_string(row.cells[c].line) + ", column " + std::to_string(c + 1) +
             " (" + layout.fields[field].column + ")";
  return "line " + std::to_string(row.line) + " (" + layout.fields[field].column + ")";
}

}  // namespace

int runImport(const ParsedArguments& arguments) {
  const TableLayout* layout = namedLayout("import", arguments.positional[0]);
  if (!layout) return kExitUsage;
  std::string path = recordFilePath(arguments.positional[1]);
  const std::string& csvName = arguments.positional[2];
  std::string text, problem;
  if (!readWhole(csvName, text)) return commandFailed("import", "cannot read " + csvName);
  std::vector<CsvRow> rows;
  if (!parseCsv(text, rows, problem)) return commandFailed("import", csvName + " " + problem);
  if (rows.empty()) return commandFailed("import", csvName + " is empty: no header row");
  std::vector<int> fieldOfColumn;
  if (!mapHeader(*layout, rows[0], csvName, fieldOfColumn, problem))
    return commandFailed("import", problem);

  RecordFile file;
  TableLayout placed;
  int recordLength = 0;
  if (!openTable(path, RecordOpenMode::Normal, *layout, file, placed, recordLength, problem))
    return commandFailed("import", problem);
  bool stored = inOneTransaction(
      [&](std::string& failure) {
        for (size_t r = 1; r < rows.size(); ++r) {
          const CsvRow& row = rows[r];
          if (row.cells.size() != fieldOfColumn.size()) {
            failure = csvName + " line " + std::to_string(row.line) + ": " +
                      std::to_string(row.cells.size()) + " fields, the header has " +
                      std::to_string(fieldOfColumn.size());
            return false;
          }
          FieldValues values(placed.fields.size());
          for (size_t c = 0; c < row.cells.size(); ++c) values[fieldOfColumn[c]] = row.cells[c].text;
          std::string record, reason;
          int failedField = 0;
          if (!encodeRecord(placed, values, recordLength, record, failedField, reason)) {
            failure = csvName + " " + cellPlace(placed, row, fieldOfColumn, failedField) + ": " +
                      reason;
            return false;
          }
          int16_t status = file.insert(record);
          if (status == RecordStatus::DuplicateKey) {
            failure = csvName + " " + cellPlace(placed, row, fieldOfColumn, 0) +
                      ": duplicate key, a record with this key is already stored";
            return false;
          }
          if (status != RecordStatus::Success) {
            failure = csvName + " line " + std::to_string(row.line) + ": " + describeStatus(status);
            return false;
          }
        }
        return true;
      },
      problem);
  if (!stored)
    return commandFailed("import", problem + "; nothing was imported into " + path);
  commandDone("imported " + std::to_string(rows.size() - 1) + " " + layout->name + " into " + path);
  return kExitSuccess;
}

int runExport(const ParsedArguments& arguments) {
  const TableLayout* layout = namedLayout("export", arguments.positional[0]);
  if (!layout) return kExitUsage;
  std::string path = recordFilePath(arguments.positional[1]);
  std::string csvName = arguments.positional.size() > 2 ? arguments.positional[2] : "-";
  RecordFile file;
  TableLayout placed;
  int recordLength = 0;
  std::string problem;
  if (!openTable(path, RecordOpenMode::ReadOnly, *layout, file, placed, recordLength, problem))
    return commandFailed("export", problem);

  std::string text = csvLine(placed.columns());
  std::string record;
  FieldValues values;
  long count = 0;
  int16_t status;
  for (status = file.first(0, record); status == RecordStatus::Success; status = file.next(record)) {
    ++count;
    if (!decodeRecord(placed, record, values, problem))
      return commandFailed("export", path + " record " + std::to_string(count) +
                                         " in key order: " + problem);
    text += csvLine(values);
  }
  if (status != RecordStatus::EndOfFile)
    return commandFailed("export", "cannot read " + path + ": " + describeStatus(status));
  if (csvName == "-") {
    std::cout << text << std::flush;
    return kExitSuccess;
  }
  if (!writeFileBytes(csvName, text)) return commandFailed("export", "cannot write " + csvName);
  commandDone("exported " + std::to_string(count) + " " + layout->name + " to " + csvName);
  return kExitSuccess;
}
