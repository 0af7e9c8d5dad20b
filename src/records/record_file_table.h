// The table of open record files.
//
// Each open file has a slot (1 to 40) that binds the caller's file id to the record
// manager's position block and to the caller's record variable. Slot 0 never holds a file:
// its position block is scratch for the Create and Reset calls. Slots are taken from the
// highest free one down, so the first open of an empty table takes slot 40.
//
// Nothing closes a single file: resetRecordFiles releases every file this process holds.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "recman/record_manager.h"

constexpr int16_t RecordFileSlotCount = 40;
// Every call goes through fixed buffers: no record longer than this travels, and a key
// value holds at most 255 bytes (the key buffer is 256 with its end).
constexpr int32_t RecordDataBufferSize = 1536;
constexpr int RecordKeyBufferSize = 256;
constexpr int RecordKeyMaximumLength = RecordKeyBufferSize - 1;

// Statuses of the layer itself; the record manager's own (RecordStatus) pass through.
constexpr int16_t RecordStatusFileIdInUse = 1002;
constexpr int16_t RecordStatusNoFreeSlot = 1003;
constexpr int16_t RecordStatusNoSuchKey = 1004;
// A record-file path that does not fit the 256-byte key buffer with its ending zero, and a
// file with a key longer than 255 bytes: refused at open before they could overrun it.
constexpr int16_t RecordStatusPathTooLong = 1005;
constexpr int16_t RecordStatusKeyTooLong = 1006;

struct RecordFileSlot {
  int16_t fileId = 0;  // 0 = free
  std::array<uint8_t, RecordManagerPositionBlockSize> positionBlock{};
  // The caller's record variable (not owned). Copies to and from it never go beyond its
  // size, whatever the file's record length says.
  std::span<uint8_t> recordBuffer;
  int32_t recordLength = 0;
  int16_t keyNumber = 0;
  std::string keyValue;
  int16_t lockMode = 0;  // 0 no lock, 1 lock and wait, 2 lock without waiting
};

struct RecordFileTable {
  std::array<RecordFileSlot, RecordFileSlotCount + 1> slots;
};

extern RecordFileTable recordFileTable;

// The slot holding fileId; otherwise minus the highest free slot, or 0 when none is free.
int16_t findRecordFile(int16_t fileId);

// Opens the file named `name` (".dat" added when its last component has no extension) as
// fileId, bound to recordBuffer. A missing file is created from the root's description
// file first; a file locked by someone else is waited for. status: 0, 1002 (fileId
// already open) or 1003 (no free slot). Any other failure shows the fatal message and
// ends the process.
void openRecordFile(int16_t fileId, const std::string& name, std::span<uint8_t> recordBuffer,
                    int16_t& status);

// Record length of the open file, and the total length of key keyNumber (0 when the file
// has no such key). Both 0 when the file is not open.
void statKeyLength(int16_t fileId, int16_t keyNumber, int16_t& keyLength,
                   int32_t& recordLength);

// Releases every file, lock and position block of this process and frees every slot. On
// failure the table stays as it was and status holds the record manager's status.
void resetRecordFiles(int16_t& status);

// Back to the start state without calling the record manager (tests): every slot free,
// the lock-mode stack empty.
void clearRecordFileTable();

// The path handed to the record manager for a name, and the description file that creates
// it (rootDir + "ddf\" + base name + ".xdf").
struct RecordFilePath {
  std::string directory;
  std::string baseName;
  std::string extension;
  std::string path() const { return directory + baseName + extension; }
};
RecordFilePath splitRecordFilePath(const std::string& name);
std::string descriptionFilePath(const std::string& name);

// What the record manager's Stat data say about a file's keys.
struct StatKeySegment {
  int16_t keyIndex = 0;
  uint16_t length = 0;
  uint16_t flags = 0;
};

struct RecordFileStat {
  int16_t status = 0;
  int32_t recordLength = 0;
  int16_t keyCount = 0;
  std::vector<StatKeySegment> segments;  // of keys 0 to keyCount - 1, in order
  std::string collatingTable;        // 256 bytes, or empty when the data hold none
  int32_t keyLength(int16_t keyNumber) const;
};

// Stat of the file in `slot` (1 to 40), parsed; never reads beyond the returned data.
RecordFileStat statRecordFile(int16_t slot);
// Parses Stat data of `length` bytes.
RecordFileStat parseStatData(const uint8_t* data, int32_t length);
