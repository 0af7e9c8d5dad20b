#include "recman/record_locks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "recman/record_manager.h"

namespace {

struct flock byteRange(short type, off_t offset) {
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = offset;
  range.l_len = 1;
  return range;
}

// F_OFD_SETLK / F_OFD_SETLKW; true when the lock was taken.
bool setLock(int fd, short type, off_t offset, bool wait) {
  struct flock range = byteRange(type, offset);
  int result;
  do {
    result = ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

}  // namespace

LockFile::~LockFile() {
  close();
}

int16_t LockFile::open(const std::string& recordFilePath) {
  close();
  fd_ = openFileDescriptor(sideFilePath(recordFilePath), O_RDWR | O_CREAT, 0666);
  if (fd_ >= 0) return RecordStatus::Success;
  return errno == ENOSPC ? RecordStatus::DiskFull : RecordStatus::AccessDenied;
}

void LockFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int16_t LockFile::lockFile(bool exclusive) {
  return setLock(fd_, exclusive ? F_WRLCK : F_RDLCK, 0, false) ? RecordStatus::Success
                                                               : RecordStatus::FileLocked;
}

int16_t LockFile::lockRecord(uint32_t position, bool wait) {
  return setLock(fd_, F_WRLCK, off_t(position), wait) ? RecordStatus::Success
                                                      : RecordStatus::RecordLocked;
}

void LockFile::unlockRecord(uint32_t position) {
  setLock(fd_, F_UNLCK, off_t(position), false);
}

bool LockFile::recordLockedByOther(uint32_t position) {
  struct flock range = byteRange(F_WRLCK, off_t(position));
  if (::fcntl(fd_, F_OFD_GETLK, &range) != 0) return false;
  return range.l_type != F_UNLCK;
}
