// Small helpers for driving the record manager in tests: creation data built from a readable
// description, and one open file with its position block.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "paths.h"
#include "recman/record_manager.h"

struct SegmentDef {
  uint16_t position;  // 1-based
  uint16_t length;
  uint16_t flags;
};
using KeyDef = std::vector<SegmentDef>;

// Creation data: file spec, segments (the continuation flag is added here), and the collating
// sequence when given.
std::string creationData(uint16_t recordLength, const std::vector<KeyDef>& keys,
                         const std::string& collationTable = "", uint16_t pageSize = 4096);

// A table that sorts lower-case ASCII letters with their capitals.
std::string caseFoldingTable();

int16_t createFile(const std::string& path, const std::string& creation,
                   int8_t mode = RecordCreateMode::KeepExisting);

// A record of `length` bytes: the fields written at their offsets, the rest blanks.
std::string recordWith(size_t length, const std::vector<std::pair<size_t, std::string>>& fields);

class RecordFile {
 public:
  uint8_t positionBlock[RecordManagerPositionBlockSize] = {};
  std::string data;    // what the last read returned
  std::string key;     // the key buffer after the last call
  int32_t dataLength = 0;

  int16_t open(const std::string& path, int8_t mode = RecordOpenMode::Normal);
  int16_t close();
  int16_t insert(const std::string& record, int8_t keyNumber = 0);
  int16_t update(const std::string& record, int8_t keyNumber = 0);
  int16_t remove();
  // A read with a key value (Get Equal ... Get Less or Equal), or none (First, Last, Next...).
  int16_t read(int16_t operation, int8_t keyNumber, const std::string& keyValue = "",
               int32_t bufferLength = 1536);
  int16_t getDirect(uint32_t position, int8_t keyNumber, int32_t bufferLength = 1536);
  uint32_t position();  // Get Position; 0 on failure
  int16_t stat(std::string& bytes);
  uint32_t recordCount();
  int16_t unlock();
};

int16_t resetRecordManager();
int16_t transaction(int16_t operation);

// Reads along a key from First (or Last going back), returning the records' text at
// [offset, offset+length) in the order met.
std::vector<std::string> walk(RecordFile& file, int8_t keyNumber, bool forward, size_t offset,
                              size_t length);
