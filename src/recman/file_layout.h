// Creation and Stat data: the description of a record file (record length, page size, keys
// and their segments, the alternate collating sequence), parsed and written in the one byte
// layout shared by Create and Stat (see docs/record-files.md).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct KeySegment {
  uint16_t offset = 0;  // 0-based offset in the record
  uint16_t length = 0;
  uint16_t flags = 0;  // SegmentFlag bits as given at Create
};

struct KeyDefinition {
  std::vector<KeySegment> segments;
  uint16_t length = 0;  // sum of the segments' lengths
  bool duplicates = false;
  bool collated = false;  // some segment goes through the collating table
};

struct FileLayout {
  uint16_t recordLength = 0;
  uint16_t pageSize = 0;
  std::vector<KeyDefinition> keys;
  bool hasCollation = false;
  std::array<uint8_t, 8> collationName{};
  std::array<uint8_t, 256> collationTable{};
};

constexpr size_t FileSpecSize = 16;
constexpr size_t SegmentSpecSize = 16;
constexpr uint8_t CollationSignature = 0xAC;
constexpr size_t CollationSize = 1 + 8 + 256;
constexpr uint16_t DefaultPageSize = 4096;
constexpr int MaxKeys = 64;

// Reads creation data of `length` bytes, taking only what the headers announce.
// Returns 0, InvalidRecordLength (record length outside 1..1536) or InvalidOperation (any
// other fault: short data, bad page size, key count, segment position, length or flags,
// key longer than 255 bytes, missing collating sequence).
int16_t parseFileLayout(const uint8_t* data, size_t length, FileLayout& layout);

// The layout in creation form; with counts it is the Stat answer (number of records, and
// per key the number of distinct values, repeated in each of its segments).
std::string encodeFileLayout(const FileLayout& layout, uint32_t recordCount = 0,
                             const std::vector<uint32_t>* distinctValues = nullptr);

uint16_t readLe16(const uint8_t* bytes);
uint32_t readLe32(const uint8_t* bytes);
void writeLe16(uint8_t* bytes, uint16_t value);
void writeLe32(uint8_t* bytes, uint32_t value);
