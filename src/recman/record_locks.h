// Locks between processes, on a side file next to the record file ("<file>-lock").
//
// Open-file-description locks belong to the open that took them and vanish when it is closed,
// including when the process dies. Byte 0 is held shared by every normal open and exclusively
// by an exclusive open; byte p is the lock of the record at position p.
#pragma once

#include <cstdint>
#include <string>

class LockFile {
 public:
  LockFile() = default;
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Opens (creating when needed) the side file of `recordFilePath`; a status on failure.
  int16_t open(const std::string& recordFilePath);
  void close();

  // Takes byte 0 shared (normal open) or exclusive; FileLocked when another holds it.
  int16_t lockFile(bool exclusive);

  // Takes the lock of one record; RecordLocked when another holds it and `wait` is false.
  int16_t lockRecord(uint32_t position, bool wait);
  void unlockRecord(uint32_t position);
  // True when another open holds the record's lock.
  bool recordLockedByOther(uint32_t position);

  static std::string sideFilePath(const std::string& recordFilePath) {
    return recordFilePath + "-lock";
  }

 private:
  int fd_ = -1;
};
