#include "record_file_fixture.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

void putLe16(std::string& out, size_t at, uint16_t value) {
  out[at] = char(value & 0xff);
  out[at + 1] = char(value >> 8);
}

int16_t call(int16_t operation, uint8_t* positionBlock, std::string& data, int32_t& length,
             std::string& key, int8_t keyNumber, uint8_t keyLength = 255) {
  return recordManagerCall(operation, positionBlock, data.data(), &length, key.data(), keyLength,
                           keyNumber);
}

}  // namespace

std::string creationData(uint16_t recordLength, const std::vector<KeyDef>& keys,
                         const std::string& collationTable, uint16_t pageSize) {
  std::string out(16, '\0');
  putLe16(out, 0, recordLength);
  putLe16(out, 2, pageSize);
  putLe16(out, 4, uint16_t(keys.size()));
  for (const KeyDef& key : keys) {
    for (size_t s = 0; s < key.size(); ++s) {
      std::string segment(16, '\0');
      putLe16(segment, 0, key[s].position);
      putLe16(segment, 2, key[s].length);
      putLe16(segment, 4, uint16_t(key[s].flags | (s + 1 < key.size() ? SegmentFlag::Continues : 0)));
      out += segment;
    }
  }
  if (!collationTable.empty()) out += '\xAC' + std::string("TESTCOLL") + collationTable;
  return out;
}

std::string caseFoldingTable() {
  std::string table(256, '\0');
  for (int c = 0; c < 256; ++c) table[size_t(c)] = char(c >= 'a' && c <= 'z' ? c - 32 : c);
  return table;
}

int16_t createFile(const std::string& path, const std::string& creation, int8_t mode) {
  uint8_t positionBlock[RecordManagerPositionBlockSize];
  std::memset(positionBlock, ' ', sizeof positionBlock);
  std::string data = creation;
  data.resize(1536, ' ');
  int32_t length = 1536;
  std::string key = path + '\0';
  return call(RecordOp::Create, positionBlock, data, length, key, mode, uint8_t(path.size()));
}

std::string recordWith(size_t length, const std::vector<std::pair<size_t, std::string>>& fields) {
  std::string record(length, ' ');
  for (const auto& [offset, text] : fields) record.replace(offset, text.size(), text);
  return record;
}

int16_t RecordFile::open(const std::string& path, int8_t mode) {
  std::string owner("ABCD\0", 5);
  dataLength = 5;
  key = path + '\0';
  return call(RecordOp::Open, positionBlock, owner, dataLength, key, mode, uint8_t(path.size()));
}

int16_t RecordFile::close() {
  std::string none(8, '\0');
  int32_t length = 0;
  return call(RecordOp::Close, positionBlock, none, length, none, 0, 0);
}

int16_t RecordFile::insert(const std::string& record, int8_t keyNumber) {
  data = record;
  dataLength = int32_t(record.size());
  key.assign(256, '\0');
  return call(RecordOp::Insert, positionBlock, data, dataLength, key, keyNumber);
}

int16_t RecordFile::update(const std::string& record, int8_t keyNumber) {
  data = record;
  dataLength = int32_t(record.size());
  key.assign(256, '\0');
  return call(RecordOp::Update, positionBlock, data, dataLength, key, keyNumber);
}

int16_t RecordFile::remove() {
  std::string none(8, '\0');
  int32_t length = 0;
  return call(RecordOp::Delete, positionBlock, none, length, none, 0, 0);
}

int16_t RecordFile::read(int16_t operation, int8_t keyNumber, const std::string& keyValue,
                         int32_t bufferLength) {
  std::string buffer(1536, '\x01');
  key = keyValue;
  key.resize(256, '\0');
  int32_t length = bufferLength;
  int16_t status = call(operation, positionBlock, buffer, length, key, keyNumber);
  if (status == RecordStatus::Success || status == RecordStatus::DataBufferTooShort) {
    data = buffer.substr(0, size_t(length));
    dataLength = length;
  }
  return status;
}

int16_t RecordFile::getDirect(uint32_t position, int8_t keyNumber, int32_t bufferLength) {
  std::string buffer(1536, '\x01');
  for (int i = 0; i < 4; ++i) buffer[size_t(i)] = char(position >> (8 * i));
  key.assign(256, '\0');
  int32_t length = bufferLength;
  int16_t status = call(RecordOp::GetDirect, positionBlock, buffer, length, key, keyNumber);
  if (status == RecordStatus::Success || status == RecordStatus::DataBufferTooShort) {
    data = buffer.substr(0, size_t(length));
    dataLength = length;
  }
  return status;
}

uint32_t RecordFile::position() {
  std::string buffer(1536, '\0');
  std::string none(8, '\0');
  int32_t length = 1536;
  if (call(RecordOp::GetPosition, positionBlock, buffer, length, none, 0, 0) != 0) return 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.data());
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

int16_t RecordFile::stat(std::string& bytes) {
  std::string buffer(1536, ' ');
  std::string keyBuffer(255, ' ');
  int32_t length = 1536;
  int16_t status = call(RecordOp::Stat, positionBlock, buffer, length, keyBuffer, 0);
  bytes = buffer.substr(0, size_t(length));
  return status;
}

uint32_t RecordFile::recordCount() {
  std::string bytes;
  if (stat(bytes) != 0) return 0xFFFFFFFF;
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  return uint32_t(b[6]) | uint32_t(b[7]) << 8 | uint32_t(b[8]) << 16 | uint32_t(b[9]) << 24;
}

int16_t RecordFile::unlock() {
  std::string none(8, '\0');
  int32_t length = 0;
  return call(RecordOp::Unlock, positionBlock, none, length, none, 0, 0);
}

int16_t resetRecordManager() {
  uint8_t positionBlock[RecordManagerPositionBlockSize] = {};
  std::string none(8, '\0');
  int32_t length = 0;
  return call(RecordOp::Reset, positionBlock, none, length, none, 0, 0);
}

int16_t transaction(int16_t operation) {
  uint8_t positionBlock[RecordManagerPositionBlockSize] = {};
  std::string none(8, '\0');
  int32_t length = 0;
  return call(operation, positionBlock, none, length, none, 0, 0);
}

std::vector<std::string> walk(RecordFile& file, int8_t keyNumber, bool forward, size_t offset,
                              size_t length) {
  std::vector<std::string> seen;
  int16_t status = file.read(forward ? RecordOp::GetFirst : RecordOp::GetLast, keyNumber);
  while (status == RecordStatus::Success) {
    seen.push_back(file.data.substr(offset, length));
    status = file.read(forward ? RecordOp::GetNext : RecordOp::GetPrevious, keyNumber);
  }
  EXPECT_EQ(status, RecordStatus::EndOfFile);
  return seen;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string backendName(Backend backend) {
  return backend == Backend::Files ? "Sqlite" : "Postgres";
}

namespace {

// One statement on the test server, outside any installation; false when it failed.
bool onTestServer(const std::string& conninfo, const std::string& sql, std::string& problem) {
  PGconn* connection = PQconnectdb(conninfo.c_str());
  bool ok = PQstatus(connection) == CONNECTION_OK;
  if (ok) {
    PGresult* result = PQexec(connection, sql.c_str());
    ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
  }
  if (!ok) problem = PQerrorMessage(connection);
  PQfinish(connection);
  return ok;
}

}  // namespace

TestInstallation::TestInstallation(Backend backend) : backend_(backend) {
  std::filesystem::create_directories(root_.file("DADES"));
  if (backend == Backend::Files) {
    ready_ = true;
    return;
  }
  const char* given = std::getenv("KIV_TEST_POSTGRES");
  if (!given || !*given) {
    problem_ =
        "KIV_TEST_POSTGRES is not set, so there is no PostgreSQL server to test on: run the "
        "tests with `make test`, or under scripts/test-postgres-cluster run";
    return;
  }
  static int made = 0;
  base_ = given;
  schema_ = "kivtest_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
  if (!onTestServer(base_, "CREATE SCHEMA " + schema_, problem_)) {
    problem_ = "cannot make a schema on the test server (" + base_ + "): " + problem_;
    return;
  }
  server_ = base_ + " options='-c search_path=" + schema_ + "'";
  std::ofstream(root_.file("Quon.ini"), std::ios::binary)
      << "[Usuari]\r\nIdioma=CAT\r\n[Dades]\r\nServidor=" << server_ << "\r\n";
  ready_ = true;
}

TestInstallation::~TestInstallation() {
  std::string ignored;
  if (!schema_.empty()) onTestServer(base_, "DROP SCHEMA " + schema_ + " CASCADE", ignored);
}

std::string TestInstallation::psql(const std::string& sql) const {
  std::string out = shell("psql -X -A -t -q -v ON_ERROR_STOP=1 -d " + shellQuoted(server_) +
                          " -c " + shellQuoted(sql) + " 2>/dev/null || echo ERROR");
  return out;
}
