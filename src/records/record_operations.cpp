#include "records/record_operations.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/clock.h"
#include "records/record_file_messages.h"
#include "records/record_file_table.h"
#include "recman/record_manager.h"
#include "ui/window_stack.h"

std::string lockModeStack;

namespace {

constexpr int16_t LockBias = RecordOp::LockNoWait;

using DataBuffer = std::array<uint8_t, RecordDataBufferSize>;
using KeyBuffer = std::array<uint8_t, RecordKeyBufferSize>;

bool takesLockBias(int16_t operation) {
  return (operation >= 5 && operation <= 13) || operation == 19 ||
         (operation >= 22 && operation <= 24) || (operation >= 33 && operation <= 35);
}

// The number of bytes that may travel between the data buffer and the record variable:
// never beyond the variable, the buffer or the file's record length.
size_t copyableLength(const RecordFileSlot& slot, int32_t dataLength) {
  int32_t limit = std::min({slot.recordLength, dataLength, RecordDataBufferSize});
  if (limit <= 0) return 0;
  return std::min(static_cast<size_t>(limit), slot.recordBuffer.size());
}

void copyRecordOut(RecordFileSlot& slot, const DataBuffer& data, int32_t dataLength) {
  std::memcpy(slot.recordBuffer.data(), data.data(), copyableLength(slot, dataLength));
}

// The returned key up to its first zero byte, cut to the old length of keyValue.
void takeKeyUpToZero(RecordFileSlot& slot, const KeyBuffer& key) {
  size_t length = std::find(key.begin(), key.end(), 0) - key.begin();
  length = std::min(length, slot.keyValue.size());
  slot.keyValue.assign(reinterpret_cast<const char*>(key.data()), length);
}

uint8_t keyFiller(int16_t operation) {
  if (operation == RecordOp::GetGreater || operation == RecordOp::GetGreaterOrEqual) return 0;
  if (operation == RecordOp::GetLess || operation == RecordOp::GetLessOrEqual) return 0xFF;
  return ' ';
}

int lockWaitMilliseconds() {
  return static_cast<int>(std::lround(10000.0 * randomUnit() + 1.0));
}

int16_t cutRecordCountsAsSuccess(int16_t status) {
  return status == RecordStatus::DataBufferTooShort ? RecordStatus::Success : status;
}

int16_t openSlot(int16_t fileId) {
  int16_t slot = findRecordFile(fileId);
  return slot > 0 ? slot : 0;
}

}  // namespace

void callRecordManager(int16_t slotNumber, int16_t operation, int16_t& status) {
  if (slotNumber < 1 || slotNumber > RecordFileSlotCount) {
    status = RecordStatus::FileNotOpen;
    return;
  }
  RecordFileSlot& slot = recordFileTable.slots[slotNumber];
  if (slot.lockMode != 0 && takesLockBias(operation)) operation += LockBias;
  int attempts = 0;
  for (;;) {
    if (attempts == 1) showRecordLockedMessage();
    DataBuffer data;
    data.fill(' ');
    int32_t dataLength = std::clamp<int32_t>(slot.recordLength, 0, RecordDataBufferSize);
    std::memcpy(data.data(), slot.recordBuffer.data(), copyableLength(slot, dataLength));

    KeyBuffer key;
    key.fill(keyFiller(operation));
    size_t keyLength = std::min<size_t>(slot.keyValue.size(), RecordKeyMaximumLength);
    std::memcpy(key.data(), slot.keyValue.data(), keyLength);

    status = recordManagerCall(operation, slot.positionBlock.data(), data.data(), &dataLength,
                               key.data(), static_cast<uint8_t>(keyLength),
                               static_cast<int8_t>(slot.keyNumber));
    copyRecordOut(slot, data, dataLength);
    slot.keyValue.assign(reinterpret_cast<const char*>(key.data()), keyLength);

    bool locked = status == RecordStatus::RecordLocked || status == RecordStatus::FileLocked;
    if (!locked || slot.lockMode != 1) break;
    // Another process may be waiting on our snapshot to write: never sleep holding it.
    endReadSnapshot();
    sleepMilliseconds(lockWaitMilliseconds());
    if (attempts < 2) ++attempts;
  }
  if (attempts != 0) closeWindow();
}

void findRecord(int16_t fileId, int16_t keyNumber, const std::string& keyText,
                int16_t direction, int16_t& status) {
  int16_t slotNumber = openSlot(fileId);
  if (slotNumber == 0) {
    status = RecordStatus::FileNotOpen;
    return;
  }
  int16_t keyLength = 0;
  int32_t recordLength = 0;
  statKeyLength(fileId, keyNumber, keyLength, recordLength);
  if (keyLength <= 0) {
    status = RecordStatusNoSuchKey;
    return;
  }
  RecordFileSlot& slot = recordFileTable.slots[slotNumber];
  slot.keyNumber = keyNumber;
  slot.keyValue = keyText;
  slot.keyValue.resize(std::min<size_t>(keyLength, RecordKeyMaximumLength), '\0');
  int16_t operation = direction == 0  ? RecordOp::GetEqual
                      : direction > 0 ? RecordOp::GetGreaterOrEqual
                                      : RecordOp::GetLessOrEqual;
  callRecordManager(slotNumber, operation, status);
  status = cutRecordCountsAsSuccess(status);
}

void stepRecord(int16_t fileId, int16_t count, int16_t& status) {
  int16_t slotNumber = openSlot(fileId);
  if (slotNumber == 0) {
    status = RecordStatus::FileNotOpen;
    return;
  }
  RecordFileSlot& slot = recordFileTable.slots[slotNumber];
  status = RecordStatus::Success;
  int16_t operation = count >= 0 ? RecordOp::GetNext : RecordOp::GetPrevious;
  int moves = std::abs(static_cast<int>(count));

  // The moves before the last skip records without touching the record variable.
  KeyBuffer key{};
  while (moves > 1 && status == RecordStatus::Success) {
    DataBuffer data;
    int32_t dataLength = RecordDataBufferSize;
    size_t keyLength = std::find(key.begin(), key.end(), 0) - key.begin();
    keyLength = std::min<size_t>(keyLength, RecordKeyMaximumLength);
    status = recordManagerCall(operation, slot.positionBlock.data(), data.data(), &dataLength,
                               key.data(), static_cast<uint8_t>(keyLength),
                               static_cast<int8_t>(slot.keyNumber));
    takeKeyUpToZero(slot, key);
    status = cutRecordCountsAsSuccess(status);
    --moves;
  }
  if (moves == 1 && status == RecordStatus::Success) {
    callRecordManager(slotNumber, operation, status);
    status = cutRecordCountsAsSuccess(status);
  }
}

int32_t recordPosition(int16_t fileId, int32_t position) {
  int16_t slotNumber = openSlot(fileId);
  if (slotNumber == 0) return 0;
  RecordFileSlot& slot = recordFileTable.slots[slotNumber];
  DataBuffer data{};
  KeyBuffer key{};
  int32_t dataLength = RecordDataBufferSize;
  if (position == 0) {
    int16_t status = recordManagerCall(RecordOp::GetPosition, slot.positionBlock.data(),
                                       data.data(), &dataLength, key.data(), 0, 0);
    if (status != RecordStatus::Success) return 0;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{data[i]} << (8 * i);
    return static_cast<int32_t>(value);
  }
  data.fill(' ');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(uint32_t(position) >> (8 * i));
  int16_t status = recordManagerCall(RecordOp::GetDirect, slot.positionBlock.data(), data.data(),
                                     &dataLength, key.data(), 0,
                                     static_cast<int8_t>(slot.keyNumber));
  takeKeyUpToZero(slot, key);
  if (status == RecordStatus::Success || status == RecordStatus::DataBufferTooShort)
    copyRecordOut(slot, data, dataLength);
  return cutRecordCountsAsSuccess(status);
}

void setLockMode(int16_t fileId, const std::string& modeText, int16_t& status) {
  int16_t slotNumber = openSlot(fileId);
  if (slotNumber == 0) {
    status = RecordStatus::FileNotOpen;
    return;
  }
  RecordFileSlot& slot = recordFileTable.slots[slotNumber];
  for (char c : modeText) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
      case 'D': slot.lockMode = 0; break;
      case 'A': slot.lockMode = 1; break;
      case 'B': slot.lockMode = 2; break;
      case '+':
        lockModeStack += static_cast<char>(slotNumber);
        lockModeStack += static_cast<char>(slot.lockMode);
        break;
      case '-':
        for (size_t pair = lockModeStack.size() / 2; pair-- > 0;) {
          if (static_cast<uint8_t>(lockModeStack[2 * pair]) != slotNumber) continue;
          slot.lockMode = static_cast<uint8_t>(lockModeStack[2 * pair + 1]);
          lockModeStack.erase(2 * pair, 2);
          break;
        }
        break;
      default: break;
    }
  }
}

std::string keyCollationText(const std::string& text, int16_t fileId) {
  int16_t slotNumber = openSlot(fileId);
  if (slotNumber == 0) return text;
  RecordFileStat stat = statRecordFile(slotNumber);
  if (stat.status != RecordStatus::Success) return text;
  int16_t keyNumber = recordFileTable.slots[slotNumber].keyNumber;
  std::string result = text;
  size_t position = 0;
  for (const StatKeySegment& segment : stat.segments) {
    if (segment.keyIndex != keyNumber) continue;
    size_t end = position + segment.length;
    if (segment.flags & SegmentFlag::Binary) {
      if (result.size() < end) result.resize(end, '\0');
      std::reverse(result.begin() + position, result.begin() + end);
    } else if ((segment.flags & SegmentFlag::Collated) && !stat.collatingTable.empty()) {
      for (size_t i = position; i < std::min(end, result.size()); ++i)
        result[i] = stat.collatingTable[static_cast<uint8_t>(result[i])];
    }
    position = end;
  }
  return result;
}

std::string currentKeyCollationText(int16_t fileId) {
  int16_t slotNumber = openSlot(fileId);
  if (slotNumber == 0) return "";
  return keyCollationText(recordFileTable.slots[slotNumber].keyValue, fileId);
}
