// The entry point: argument checks, the place in the current key, record locks and the
// shaping of the answers; storage and locks do the rest.
#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "recman/file_layout.h"
#include "recman/key_order.h"
#include "recman/open_files.h"
#include "recman/record_manager.h"

namespace {

bool transactionActive = false;

// What a call brought, gathered once.
struct Call {
  int16_t operation;  // without the lock bias
  int lockBias;       // 0, LockWait or LockNoWait
  uint8_t* positionBlock;
  uint8_t* data;
  int32_t* dataLength;
  uint8_t* key;
  uint8_t keyLength;
  int8_t keyNumber;
};

// Internal result of a locked read whose record changed under it: the read is done again.
constexpr int16_t ReadAgain = -1;

bool acceptsLockBias(int16_t operation) {
  return (operation >= RecordOp::GetEqual && operation <= RecordOp::GetLast) ||
         operation == RecordOp::GetPosition || operation == RecordOp::GetDirect ||
         operation == RecordOp::BeginTransaction;
}

int32_t bufferLength(const Call& call) {
  return call.dataLength ? std::max<int32_t>(*call.dataLength, 0) : 0;
}

// The file name of Open and Create: the key buffer up to its first zero byte.
std::string pathOf(const Call& call) {
  if (!call.key) return std::string();
  const char* text = reinterpret_cast<const char*>(call.key);
  size_t length = strnlen(text, call.keyLength);
  return resolvePath(std::string(text, length));
}

bool validKey(const OpenFile& file, int keyNumber) {
  return keyNumber >= 0 && size_t(keyNumber) < file.store->layout().keys.size();
}

void releaseRecordLock(OpenFile& file) {
  if (file.lockedPosition) file.store->unlockRecord(file.lockedPosition);
  file.lockedPosition = 0;
}

void placeOn(OpenFile& file, int key, uint32_t position, const uint8_t* sortForm, int length) {
  file.key = key;
  file.position = position;
  file.sortForm.assign(reinterpret_cast<const char*>(sortForm), size_t(length));
  file.positioned = true;
  file.onRecord = true;
}

// ---- opening, creating, closing ----

int16_t openRecordFileCall(const Call& call) {
  if (!call.positionBlock) return RecordStatus::InvalidOperation;
  if (call.keyNumber != RecordOpenMode::Normal && call.keyNumber != RecordOpenMode::ReadOnly &&
      call.keyNumber != RecordOpenMode::Exclusive)
    return RecordStatus::InvalidOperation;
  std::string path = pathOf(call);
  if (path.empty()) return RecordStatus::FileNotFound;
  auto file = std::make_unique<OpenFile>();
  int16_t status = openRecordStore(path, call.keyNumber == RecordOpenMode::ReadOnly, file->store);
  if (status == RecordStatus::Success)
    status = file->store->lockFile(call.keyNumber == RecordOpenMode::Exclusive);
  if (status != RecordStatus::Success) return status;
  registerOpenFile(call.positionBlock, std::move(file));
  return RecordStatus::Success;
}

int16_t createRecordFileCall(const Call& call) {
  if (call.keyNumber != RecordCreateMode::Replace &&
      call.keyNumber != RecordCreateMode::KeepExisting)
    return RecordStatus::InvalidOperation;
  std::string path = pathOf(call);
  if (path.empty()) return RecordStatus::FileNotFound;
  if (!call.data) return RecordStatus::InvalidOperation;
  FileLayout layout;
  int16_t status = parseFileLayout(call.data, size_t(bufferLength(call)), layout);
  if (status != RecordStatus::Success) return status;
  return createRecordStore(path, layout, call.keyNumber == RecordCreateMode::Replace);
}

int16_t closeCall(OpenFile& file, const Call& call) {
  // Its writes belong to the transaction, which has not been ended.
  if (file.store->inWriteTransaction()) return RecordStatus::InvalidOperation;
  closeOpenFile(call.positionBlock);
  return RecordStatus::Success;
}

int16_t resetCall() {
  for (OpenFile* file : allOpenFiles()) file->store->rollbackTransaction();
  transactionActive = false;
  endAllReadSnapshots();
  closeAllOpenFiles();
  return RecordStatus::Success;
}

int16_t transactionCall(int16_t operation) {
  if ((operation == RecordOp::BeginTransaction) == transactionActive)
    return RecordStatus::InvalidOperation;
  transactionActive = operation == RecordOp::BeginTransaction;
  if (operation == RecordOp::BeginTransaction) return RecordStatus::Success;
  int16_t status = RecordStatus::Success;
  for (OpenFile* file : allOpenFiles()) {
    if (operation == RecordOp::AbortTransaction || status != RecordStatus::Success) {
      file->store->rollbackTransaction();
    } else {
      status = file->store->commitTransaction();
    }
    file->onRecord =
        file->onRecord && status == RecordStatus::Success && operation == RecordOp::EndTransaction;
  }
  return status;
}

// ---- reads ----

// Locks the record found (or checks it can be had), then reads it again from a fresh snapshot
// so that what is returned is what the lock now protects.
int16_t lockAndReread(OpenFile& file, const Call& call, int key, FoundRecord& found) {
  uint32_t position = found.position;
  bool wait = call.lockBias == RecordOp::LockWait;
  if (file.lockedPosition != position) {
    if (wait) endAllReadSnapshots();  // never hold a snapshot while blocked
    int16_t status = file.store->lockRecord(position, wait);
    if (status != RecordStatus::Success) return status;
    releaseRecordLock(file);
    file.lockedPosition = position;
  }
  endAllReadSnapshots();
  int16_t status = file.store->readAt(position, key, found);
  if (status == RecordStatus::InvalidPositioning) {
    releaseRecordLock(file);
    return ReadAgain;
  }
  return status;
}

// Hands a found record to the caller and makes it the place in the key.
int16_t deliver(OpenFile& file, const Call& call, int key, FoundRecord& found) {
  if (call.lockBias) {
    int16_t status = lockAndReread(file, call, key, found);
    if (status != RecordStatus::Success) return status;
  }
  const FileLayout& layout = file.store->layout();
  int32_t length = std::min<int32_t>(bufferLength(call), layout.recordLength);
  if (length > 0) std::memcpy(call.data, found.data, size_t(length));
  *call.dataLength = length;
  if (call.key) extractKeyValue(layout.keys[size_t(key)], found.data, call.key);
  placeOn(file, key, found.position, found.sortForm, found.sortLength);
  return length < layout.recordLength ? RecordStatus::DataBufferTooShort : RecordStatus::Success;
}

int16_t keyedReadOnce(OpenFile& file, const Call& call) {
  RecordStore& store = *file.store;
  FoundRecord found;
  int16_t status;
  if (call.operation == RecordOp::GetNext || call.operation == RecordOp::GetPrevious) {
    if (!file.positioned) return RecordStatus::InvalidPositioning;
    if (call.keyNumber != file.key) return RecordStatus::InvalidKeyNumber;
    SeekMode mode = call.operation == RecordOp::GetNext ? SeekMode::After : SeekMode::Before;
    status = store.seek(file.key, mode, file.sortForm, file.position, found);
    return status == RecordStatus::Success ? deliver(file, call, file.key, found) : status;
  }

  if (!validKey(file, call.keyNumber)) return RecordStatus::InvalidKeyNumber;
  int key = call.keyNumber;
  SeekMode mode;
  switch (call.operation) {
    case RecordOp::GetFirst:
      mode = SeekMode::First;
      break;
    case RecordOp::GetLast:
      mode = SeekMode::Last;
      break;
    case RecordOp::GetGreater:
      mode = SeekMode::Greater;
      break;
    case RecordOp::GetLess:
      mode = SeekMode::Less;
      break;
    case RecordOp::GetLessOrEqual:
      mode = SeekMode::LessOrEqual;
      break;
    default:
      mode = SeekMode::GreaterOrEqual;
      break;  // Get Equal, Get Greater or Equal
  }
  static std::string bound;
  bound.clear();
  if (mode != SeekMode::First && mode != SeekMode::Last) {
    if (!call.key) return RecordStatus::InvalidOperation;
    sortFormOfKeyValue(store.layout(), store.layout().keys[size_t(key)], call.key, bound);
  }
  status = store.seek(key, mode, bound, 0, found);
  if (call.operation == RecordOp::GetEqual) {
    if (status == RecordStatus::EndOfFile) return RecordStatus::KeyNotFound;
    if (status == RecordStatus::Success &&
        std::memcmp(found.sortForm, bound.data(), bound.size()) != 0)
      return RecordStatus::KeyNotFound;
  }
  return status == RecordStatus::Success ? deliver(file, call, key, found) : status;
}

int16_t getDirectOnce(OpenFile& file, const Call& call) {
  if (!call.data || bufferLength(call) < 4) return RecordStatus::InvalidOperation;
  if (!validKey(file, call.keyNumber)) return RecordStatus::InvalidKeyNumber;
  FoundRecord found;
  int16_t status = file.store->readAt(readLe32(call.data), call.keyNumber, found);
  return status == RecordStatus::Success ? deliver(file, call, call.keyNumber, found) : status;
}

int16_t readCall(OpenFile& file, const Call& call) {
  if (!call.data || !call.dataLength) return RecordStatus::InvalidOperation;
  for (int attempt = 0;; ++attempt) {
    int16_t status = call.operation == RecordOp::GetDirect ? getDirectOnce(file, call)
                                                           : keyedReadOnce(file, call);
    if (status != ReadAgain) return status;
    if (attempt == 2) return RecordStatus::RecordLocked;
  }
}

int16_t getPositionCall(OpenFile& file, const Call& call) {
  if (!call.data || !call.dataLength) return RecordStatus::InvalidOperation;
  if (!file.onRecord) return RecordStatus::InvalidPositioning;
  uint8_t bytes[4];
  writeLe32(bytes, file.position);
  int32_t length = std::min<int32_t>(bufferLength(call), 4);
  std::memcpy(call.data, bytes, size_t(length));
  *call.dataLength = length;
  return length < 4 ? RecordStatus::DataBufferTooShort : RecordStatus::Success;
}

int16_t statCall(OpenFile& file, const Call& call) {
  if (!call.data || !call.dataLength) return RecordStatus::InvalidOperation;
  uint32_t records = 0;
  const std::vector<uint32_t>* distinct = nullptr;
  int16_t status = file.store->counts(records, distinct);
  if (status != RecordStatus::Success) return status;
  std::string bytes = encodeFileLayout(file.store->layout(), records, distinct);
  int32_t length = std::min<int32_t>(bufferLength(call), int32_t(bytes.size()));
  std::memcpy(call.data, bytes.data(), size_t(length));
  *call.dataLength = length;
  return length < int32_t(bytes.size()) ? RecordStatus::DataBufferTooShort : RecordStatus::Success;
}

// ---- writes ----

int16_t writeCall(OpenFile& file, const Call& call) {
  const FileLayout& layout = file.store->layout();
  if (!call.data || !call.dataLength) return RecordStatus::InvalidOperation;
  if (file.store->readOnly()) return RecordStatus::AccessDenied;
  if (call.operation != RecordOp::Insert && !file.onRecord) return RecordStatus::InvalidPositioning;
  if (call.operation != RecordOp::Delete) {
    if (*call.dataLength != layout.recordLength) return RecordStatus::InvalidRecordLength;
    if (!validKey(file, call.keyNumber)) return RecordStatus::InvalidKeyNumber;
  }
  if (call.operation != RecordOp::Insert && file.lockedPosition != file.position &&
      file.store->recordLockedByOther(file.position))
    return RecordStatus::RecordLocked;

  uint32_t position = file.position;
  int16_t status;
  switch (call.operation) {
    case RecordOp::Insert:
      status = file.store->insert(call.data, transactionActive, position);
      break;
    case RecordOp::Update:
      status = file.store->update(position, call.data, transactionActive);
      break;
    default:
      status = file.store->remove(position, transactionActive);
      break;
  }
  if (status != RecordStatus::Success) return status;
  if (call.operation != RecordOp::Insert && file.lockedPosition == position)
    releaseRecordLock(file);
  if (call.operation == RecordOp::Delete) {
    file.onRecord = false;  // the place stays, between its neighbours
    return status;
  }
  const KeyDefinition& key = layout.keys[size_t(call.keyNumber)];
  std::string sortForm;
  sortFormOfRecord(layout, key, call.data, sortForm);
  placeOn(file, call.keyNumber, position, reinterpret_cast<const uint8_t*>(sortForm.data()),
          int(sortForm.size()));
  if (call.key) extractKeyValue(key, call.data, call.key);
  return status;
}

int16_t fileCall(OpenFile& file, const Call& call) {
  switch (call.operation) {
    case RecordOp::Close:
      return closeCall(file, call);
    case RecordOp::Insert:
    case RecordOp::Update:
    case RecordOp::Delete:
      return writeCall(file, call);
    case RecordOp::Stat:
      return statCall(file, call);
    case RecordOp::GetPosition:
      return getPositionCall(file, call);
    case RecordOp::Unlock:
      releaseRecordLock(file);
      return RecordStatus::Success;
    default:
      if ((call.operation >= RecordOp::GetEqual && call.operation <= RecordOp::GetLast) ||
          call.operation == RecordOp::GetDirect)
        return readCall(file, call);
      return RecordStatus::InvalidOperation;
  }
}

}  // namespace

int16_t recordManagerCall(int16_t operation, uint8_t* positionBlock, void* data,
                          int32_t* dataLength, void* key, uint8_t keyLength, int8_t keyNumber) {
  forgetInheritedFiles();
  expireOldReadSnapshots();
  Call call{operation,     0,
            positionBlock, static_cast<uint8_t*>(data),
            dataLength,    static_cast<uint8_t*>(key),
            keyLength,     keyNumber};
  if (operation >= RecordOp::LockWait && operation < RecordOp::LockNoWait + 100) {
    call.lockBias = operation >= RecordOp::LockNoWait ? RecordOp::LockNoWait : RecordOp::LockWait;
    call.operation = int16_t(operation - call.lockBias);
    if (!acceptsLockBias(call.operation)) return RecordStatus::InvalidOperation;
  }
  switch (call.operation) {
    case RecordOp::Open:
      return openRecordFileCall(call);
    case RecordOp::Create:
      return createRecordFileCall(call);
    case RecordOp::Reset:
      return resetCall();
    case RecordOp::BeginTransaction:
    case RecordOp::EndTransaction:
    case RecordOp::AbortTransaction:
      return transactionCall(call.operation);
    default:
      break;
  }
  OpenFile* file = findOpenFile(positionBlock);
  if (!file) return RecordStatus::FileNotOpen;
  return fileCall(*file, call);
}

void endReadSnapshot() {
  endAllReadSnapshots();
}
