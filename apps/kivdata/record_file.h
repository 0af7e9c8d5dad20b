// The record manager as the tool uses it: one open record file, reads in key order,
// inserts, and the transaction that makes a bulk write all-or-nothing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "recman/file_layout.h"
#include "recman/record_manager.h"

// The name as given, with ".dat" added when its last component has no extension (the
// application names its files without one: DADES/FinquesV is DADES/FinquesV.dat).
std::string recordFilePath(const std::string& name);

// A status in words with its number: "duplicate key (status 5)".
std::string describeStatus(int16_t status);

// The creation data of a description file: a 2-byte little-endian length N, then N bytes.
bool readDescriptionFile(const std::string& path, std::string& creationData, std::string& problem);

// Creates a record file; an existing file is kept (FileExists).
int16_t createRecordFile(const std::string& path, const std::string& creationData);

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile() { close(); }
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  int16_t open(const std::string& path, int8_t mode = RecordOpenMode::Normal);
  void close();

  // The file's description and its number of records.
  int16_t stat(FileLayout& layout, uint32_t& recordCount);
  int16_t insert(const std::string& record);
  // The first record in the order of key `keyNumber`, then the next ones; EndOfFile after
  // the last.
  int16_t first(int keyNumber, std::string& record);
  int16_t next(std::string& record);
  // Locks the record at `position` for this process, without waiting for another holder.
  int16_t lockRecord(uint32_t position);

 private:
  int16_t read(int16_t operation, std::string& record);

  std::array<uint8_t, RecordManagerPositionBlockSize> positionBlock_{};
  std::array<uint8_t, RecordMaxKeyLength + 1> key_{};
  int keyNumber_ = 0;
  bool open_ = false;
};

// Runs `body` as one transaction over the files this process has open: when it returns
// true its writes are committed together, otherwise (or when the process dies first) none
// of them is kept. False when the body fails or the transaction cannot begin or end;
// `problem` then says why (the body sets it for its own failures).
bool inOneTransaction(const std::function<bool(std::string& problem)>& body, std::string& problem);
