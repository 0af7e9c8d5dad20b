#include "records/record_file_table.h"

#include <algorithm>
#include <cstring>

#include "core/session_settings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "records/record_file_messages.h"
#include "records/record_operations.h"

RecordFileTable recordFileTable;

namespace {

constexpr int OpenRetryMilliseconds = 3000;

// The owner name every open passes, built from its letters at run time.
std::string ownerName() {
  const char letters[] = {'K', 'I', 'V', 'O'};
  return std::string(letters, sizeof letters);
}

uint16_t uint16At(const uint8_t* data, int32_t offset) {
  return static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
}

int16_t callOnSlotZero(int16_t operation, void* data, int32_t& dataLength, void* key,
                       uint8_t keyLength, int8_t keyNumber) {
  return recordManagerCall(operation, recordFileTable.slots[0].positionBlock.data(), data,
                           &dataLength, key, keyLength, keyNumber);
}

int16_t openOnce(RecordFileSlot& slot, const std::string& path) {
  std::array<char, RecordKeyBufferSize> key{};
  std::memcpy(key.data(), path.data(), path.size());
  std::string owner = ownerName();
  std::array<char, 8> data{};
  std::memcpy(data.data(), owner.data(), owner.size());
  int32_t dataLength = static_cast<int32_t>(owner.size()) + 1;
  return recordManagerCall(RecordOp::Open, slot.positionBlock.data(), data.data(), &dataLength,
                           key.data(), static_cast<uint8_t>(path.size()), RecordOpenMode::Normal);
}

// The creation data of a description file: a 16-bit length, then that many bytes. A
// missing or short file gives what there is; more than the data buffer is never passed.
std::string creationData(const std::string& descriptionFile) {
  std::string bytes = readFileBytes(descriptionFile).value_or("");
  if (bytes.size() < 2) return "";
  int16_t announced = static_cast<int16_t>(static_cast<uint8_t>(bytes[0]) |
                                           (static_cast<uint8_t>(bytes[1]) << 8));
  size_t length = static_cast<size_t>(std::clamp<int>(announced, 0, RecordDataBufferSize));
  return bytes.substr(2, length);
}

int16_t createFromDescription(const std::string& name, const std::string& path) {
  std::string creation = creationData(descriptionFilePath(name));
  std::array<char, RecordDataBufferSize> data;
  data.fill(' ');
  std::memcpy(data.data(), creation.data(), creation.size());
  std::array<char, RecordKeyBufferSize> key{};
  std::memcpy(key.data(), path.data(), path.size());
  auto& scratch = recordFileTable.slots[0].positionBlock;
  scratch.fill(' ');
  int32_t dataLength = RecordDataBufferSize;
  int16_t status = callOnSlotZero(RecordOp::Create, data.data(), dataLength, key.data(),
                                  static_cast<uint8_t>(path.size()), RecordCreateMode::KeepExisting);
  scratch.fill(0);
  return status;
}

// Opens, waiting while another user holds the file and creating it when it is missing.
int16_t openLoop(RecordFileSlot& slot, const std::string& name, const std::string& path) {
  for (;;) {
    int16_t status = openOnce(slot, path);
    if (status == RecordStatus::FileLocked) {
      endReadSnapshot();
      sleepMilliseconds(OpenRetryMilliseconds);
      continue;
    }
    if (status != RecordStatus::FileNotFound) return status;
    status = createFromDescription(name, path);
    if (status != RecordStatus::Success) return status;
  }
}

// Every key must fit the key buffer, or the calls on this file could overrun it.
bool keysFitKeyBuffer(const RecordFileStat& stat) {
  for (int16_t k = 0; k < stat.keyCount; ++k)
    if (stat.keyLength(k) > RecordKeyMaximumLength) return false;
  return true;
}

}  // namespace

int16_t findRecordFile(int16_t fileId) {
  int16_t freeSlot = 0;
  for (int16_t slot = 1; slot <= RecordFileSlotCount; ++slot) {
    if (recordFileTable.slots[slot].fileId == fileId) return slot;
    if (recordFileTable.slots[slot].fileId == 0) freeSlot = slot;
  }
  return static_cast<int16_t>(-freeSlot);
}

void openRecordFile(int16_t fileId, const std::string& name, std::span<uint8_t> recordBuffer,
                    int16_t& status) {
  int16_t found = findRecordFile(fileId);
  if (found > 0) {
    status = RecordStatusFileIdInUse;
    return;
  }
  if (found == 0) {
    status = RecordStatusNoFreeSlot;
    return;
  }
  RecordFileSlot& slot = recordFileTable.slots[-found];
  slot = RecordFileSlot{};
  slot.fileId = fileId;
  slot.recordBuffer = recordBuffer;

  std::string path = splitRecordFilePath(name).path();
  if (path.size() > static_cast<size_t>(RecordKeyMaximumLength)) {
    status = RecordStatusPathTooLong;
    showRecordFileOpenFailure(name, status);
  }
  status = openLoop(slot, name, path);
  if (status != RecordStatus::Success) showRecordFileOpenFailure(name, status);

  RecordFileStat stat = statRecordFile(static_cast<int16_t>(-found));
  if (!keysFitKeyBuffer(stat)) {
    status = RecordStatusKeyTooLong;
    showRecordFileOpenFailure(name, status);
  }
  slot.recordLength = stat.recordLength;
  slot.keyValue.assign(static_cast<size_t>(stat.keyLength(0)), '\0');
}

void statKeyLength(int16_t fileId, int16_t keyNumber, int16_t& keyLength,
                   int32_t& recordLength) {
  keyLength = 0;
  recordLength = 0;
  int16_t slot = findRecordFile(fileId);
  if (slot <= 0) return;
  RecordFileStat stat = statRecordFile(slot);
  recordLength = stat.recordLength;
  keyLength = static_cast<int16_t>(std::min<int32_t>(stat.keyLength(keyNumber), INT16_MAX));
}

void resetRecordFiles(int16_t& status) {
  std::array<char, 8> data{};
  std::array<char, 8> key{};
  int32_t dataLength = 0;
  status = callOnSlotZero(RecordOp::Reset, data.data(), dataLength, key.data(), 0, 0);
  if (status != RecordStatus::Success) return;
  for (int16_t slot = 1; slot <= RecordFileSlotCount; ++slot)
    recordFileTable.slots[slot] = RecordFileSlot{};
}

void clearRecordFileTable() {
  recordFileTable = RecordFileTable{};
  lockModeStack.clear();
}

RecordFilePath splitRecordFilePath(const std::string& name) {
  RecordFilePath result{"", name, ".dat"};
  size_t baseEnd = name.size();
  for (size_t i = name.size(); i-- > 0;) {
    char c = name[i];
    if (c == ':' || c == '\\' || c == '/') {
      result.directory = name.substr(0, i + 1);
      result.baseName = name.substr(i + 1, baseEnd - (i + 1));
      break;
    }
    if (c == '.') {
      result.baseName = name.substr(0, i);
      result.extension = name.substr(i);
      baseEnd = i;
    }
  }
  return result;
}

std::string descriptionFilePath(const std::string& name) {
  return sessionSettings.rootDir + "ddf\\" + splitRecordFilePath(name).baseName + ".xdf";
}

int32_t RecordFileStat::keyLength(int16_t keyNumber) const {
  int32_t total = 0;
  for (const StatKeySegment& segment : segments)
    if (segment.keyIndex == keyNumber) total += segment.length;
  return total;
}

RecordFileStat parseStatData(const uint8_t* data, int32_t length) {
  constexpr int32_t SegmentsStart = 16;
  constexpr int32_t SegmentSize = 16;
  constexpr int32_t CollationSize = 1 + 8 + 256;
  RecordFileStat stat;
  if (length < SegmentsStart) return stat;
  stat.recordLength = uint16At(data, 0);
  stat.keyCount = static_cast<int16_t>(uint16At(data, 4));
  int32_t offset = SegmentsStart;
  for (int16_t k = 0; k < stat.keyCount; ++k) {
    for (;;) {
      if (offset + SegmentSize > length) return stat;
      StatKeySegment segment{k, uint16At(data, offset + 2), uint16At(data, offset + 4)};
      stat.segments.push_back(segment);
      offset += SegmentSize;
      if (!(segment.flags & SegmentFlag::Continues)) break;
    }
  }
  if (offset + CollationSize <= length)
    stat.collatingTable.assign(reinterpret_cast<const char*>(data) + offset + 9, 256);
  return stat;
}

RecordFileStat statRecordFile(int16_t slot) {
  std::array<uint8_t, RecordDataBufferSize> data{};
  std::array<char, RecordKeyBufferSize> key;
  key.fill(' ');
  int32_t dataLength = RecordDataBufferSize;
  int16_t status = recordManagerCall(RecordOp::Stat, recordFileTable.slots[slot].positionBlock.data(),
                                     data.data(), &dataLength, key.data(),
                                     RecordKeyMaximumLength, 0);
  RecordFileStat stat;
  if (status == RecordStatus::Success)
    stat = parseStatData(data.data(), std::clamp<int32_t>(dataLength, 0, RecordDataBufferSize));
  stat.status = status;
  return stat;
}
