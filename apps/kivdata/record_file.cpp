#include "record_file.h"

#include <optional>
#include <vector>

#include "platform/files.h"

namespace {

// The path in the key buffer, ended by a zero byte.
std::vector<uint8_t> pathKey(const std::string& path) {
  std::vector<uint8_t> key(path.begin(), path.end());
  key.push_back(0);
  return key;
}

uint8_t keyLengthOf(const std::vector<uint8_t>& key) {
  return static_cast<uint8_t>(key.size() > 255 ? 255 : key.size());
}

}  // namespace

std::string recordFilePath(const std::string& name) {
  size_t slash = name.find_last_of("/\\");
  size_t dot = name.find('.', slash == std::string::npos ? 0 : slash + 1);
  return dot == std::string::npos ? name + ".dat" : name;
}

std::string describeStatus(int16_t status) {
  static const struct {
    int16_t status;
    const char* words;
  } kWords[] = {
      {RecordStatus::Success, "success"},
      {RecordStatus::InvalidOperation, "invalid operation or creation data"},
      {RecordStatus::IoError, "input/output error"},
      {RecordStatus::FileNotOpen, "file not open"},
      {RecordStatus::KeyNotFound, "no such record"},
      {RecordStatus::DuplicateKey, "duplicate key"},
      {RecordStatus::InvalidKeyNumber, "no such key"},
      {RecordStatus::InvalidPositioning, "invalid positioning"},
      {RecordStatus::EndOfFile, "end of file"},
      {RecordStatus::FileNotFound, "file not found"},
      {RecordStatus::DiskFull, "disk full"},
      {RecordStatus::ServerUnreachable, "database server unreachable"},
      {RecordStatus::DataBufferTooShort, "data buffer too short"},
      {RecordStatus::InvalidRecordLength, "invalid record length"},
      {RecordStatus::NotARecordFile, "not a record file"},
      {RecordStatus::AccessDenied, "access denied"},
      {RecordStatus::FileExists, "file already exists"},
      {RecordStatus::RecordLocked, "record locked by another process"},
      {RecordStatus::FileLocked, "file locked by another process"},
  };
  std::string words = "record manager error";
  for (const auto& entry : kWords)
    if (entry.status == status) words = entry.words;
  return words + " (status " + std::to_string(status) + ")";
}

bool readDescriptionFile(const std::string& path, std::string& creationData,
                         std::string& problem) {
  std::optional<std::string> bytes = readFileBytes(path);
  if (!bytes) {
    problem = "cannot read description file " + path;
    return false;
  }
  if (bytes->size() < 2) {
    problem = "description file " + path + " is too short";
    return false;
  }
  size_t length = static_cast<uint8_t>((*bytes)[0]) | static_cast<uint8_t>((*bytes)[1]) << 8;
  if (length > 0x7FFF || bytes->size() - 2 < length) {
    problem = "description file " + path + " announces " + std::to_string(length) +
              " bytes of creation data but holds " + std::to_string(bytes->size() - 2);
    return false;
  }
  creationData = bytes->substr(2, length);
  return true;
}

int16_t createRecordFile(const std::string& path, const std::string& creationData) {
  std::array<uint8_t, RecordManagerPositionBlockSize> block{};
  std::vector<uint8_t> data(creationData.begin(), creationData.end());
  int32_t length = static_cast<int32_t>(data.size());
  std::vector<uint8_t> key = pathKey(path);
  return recordManagerCall(RecordOp::Create, block.data(), data.data(), &length, key.data(),
                           keyLengthOf(key), RecordCreateMode::KeepExisting);
}

int16_t RecordFile::open(const std::string& path, int8_t mode) {
  close();
  positionBlock_.fill(0);
  std::vector<uint8_t> key = pathKey(path);
  uint8_t owner[1] = {0};
  int32_t length = 0;
  int16_t status = recordManagerCall(RecordOp::Open, positionBlock_.data(), owner, &length,
                                     key.data(), keyLengthOf(key), mode);
  open_ = status == RecordStatus::Success;
  return status;
}

void RecordFile::close() {
  if (!open_) return;
  int32_t length = 0;
  recordManagerCall(RecordOp::Close, positionBlock_.data(), nullptr, &length, key_.data(), 0, 0);
  open_ = false;
}

int16_t RecordFile::stat(FileLayout& layout, uint32_t& recordCount) {
  std::array<uint8_t, RecordMaxLength> data{};
  int32_t length = static_cast<int32_t>(data.size());
  std::array<uint8_t, RecordMaxKeyLength> name{};
  int16_t status = recordManagerCall(RecordOp::Stat, positionBlock_.data(), data.data(), &length,
                                     name.data(), static_cast<uint8_t>(name.size()), 0);
  if (status != RecordStatus::Success) return status;
  recordCount = readLe32(data.data() + 6);
  return parseFileLayout(data.data(), static_cast<size_t>(length), layout);
}

int16_t RecordFile::insert(const std::string& record) {
  std::vector<uint8_t> data(record.begin(), record.end());
  int32_t length = static_cast<int32_t>(data.size());
  return recordManagerCall(RecordOp::Insert, positionBlock_.data(), data.data(), &length,
                           key_.data(), static_cast<uint8_t>(RecordMaxKeyLength), 0);
}

int16_t RecordFile::read(int16_t operation, std::string& record) {
  std::array<uint8_t, RecordMaxLength> data{};
  int32_t length = static_cast<int32_t>(data.size());
  int16_t status = recordManagerCall(operation, positionBlock_.data(), data.data(), &length,
                                     key_.data(), static_cast<uint8_t>(RecordMaxKeyLength),
                                     static_cast<int8_t>(keyNumber_));
  if (status == RecordStatus::Success)
    record.assign(reinterpret_cast<const char*>(data.data()), static_cast<size_t>(length));
  return status;
}

int16_t RecordFile::first(int keyNumber, std::string& record) {
  keyNumber_ = keyNumber;
  return read(RecordOp::GetFirst, record);
}

int16_t RecordFile::next(std::string& record) { return read(RecordOp::GetNext, record); }

int16_t RecordFile::lockRecord(uint32_t position) {
  std::array<uint8_t, RecordMaxLength> data{};
  writeLe32(data.data(), position);
  int32_t length = static_cast<int32_t>(data.size());
  return recordManagerCall(RecordOp::GetDirect + RecordOp::LockNoWait, positionBlock_.data(),
                           data.data(), &length, key_.data(),
                           static_cast<uint8_t>(RecordMaxKeyLength), 0);
}

bool inOneTransaction(const std::function<bool(std::string& problem)>& body,
                      std::string& problem) {
  std::array<uint8_t, RecordManagerPositionBlockSize> block{};
  uint8_t scratch[8] = {};
  int32_t length = 0;
  auto call = [&](int16_t operation) {
    return recordManagerCall(operation, block.data(), scratch, &length, scratch, 0, 0);
  };
  int16_t status = call(RecordOp::BeginTransaction);
  if (status != RecordStatus::Success) {
    problem = "cannot begin a transaction: " + describeStatus(status);
    return false;
  }
  if (!body(problem)) {
    call(RecordOp::AbortTransaction);
    return false;
  }
  status = call(RecordOp::EndTransaction);
  if (status != RecordStatus::Success) {
    problem = "cannot commit: " + describeStatus(status) + "; nothing was stored";
    call(RecordOp::AbortTransaction);
    return false;
  }
  return true;
}
