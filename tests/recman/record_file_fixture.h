// Small helpers for driving the record manager in tests: an installation on the back end under
// test, creation data built from a readable description, and one open file with its position
// block.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "paths.h"
#include "recman/record_manager.h"

struct SegmentDef {
  uint16_t position;  // 1-based
  uint16_t length;
  uint16_t flags;
};
using KeyDef = std::vector<SegmentDef>;

// Creation data: file specification, segments (the continuation flag is added here), and the collating
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
  std::string data;  // what the last read returned
  std::string key;   // the key buffer after the last call
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

// The two back ends every test of the record manager runs on.
enum class Backend { Files, Server };

// An installation in a temporary directory whose record files are DADES/<name>: SQLite files,
// or, on the server, tables of a schema of this installation's own on the test server
// (KIV_TEST_POSTGRES, a keyword=value connection string), named in its Quon.ini.
class TestInstallation {
 public:
  explicit TestInstallation(Backend backend);
  ~TestInstallation();
  TestInstallation(const TestInstallation&) = delete;
  TestInstallation& operator=(const TestInstallation&) = delete;

  // False when the server cannot be had; problem() says why.
  bool ready() const { return ready_; }
  const std::string& problem() const { return problem_; }
  Backend backend() const { return backend_; }
  const std::string& root() const { return root_.path(); }
  // root/DADES/name: where the record file `name` is.
  std::string file(const std::string& name) const { return root_.file("DADES/" + name); }
  // The server's connection string with this installation's schema; empty for files.
  const std::string& server() const { return server_; }
  // Runs SQL with the psql shell on the installation's schema: its rows as psql -A -t
  // prints them ("a|b" lines), or "ERROR" when psql fails.
  std::string psql(const std::string& sql) const;

 private:
  Backend backend_;
  TempDir root_;
  std::string schema_;
  std::string base_;
  std::string server_;
  bool ready_ = false;
  std::string problem_;
};

std::string backendName(Backend backend);

// The base of the tests that run on both back ends; the parameter is the back end, or a tuple
// of the back end and a case.
template <class Param>
class RecordFileTest : public ::testing::TestWithParam<Param> {
 protected:
  RecordFileTest() : dir(backendOf(this->GetParam())) {}
  void SetUp() override { ASSERT_TRUE(dir.ready()) << dir.problem(); }
  void TearDown() override { EXPECT_EQ(resetRecordManager(), 0); }
  TestInstallation dir;

 private:
  static Backend backendOf(Backend backend) { return backend; }
  template <class Case>
  static Backend backendOf(const std::tuple<Backend, Case>& param) {
    return std::get<0>(param);
  }
};

// Both back ends, named in the test names.
#define BOTH_BACKENDS                                 \
  ::testing::Values(Backend::Files, Backend::Server), \
      [](const auto& backendInfo) { return backendName(backendInfo.param); }

// Both back ends times the cases of a table; each case has a `name`.
#define BOTH_BACKENDS_WITH(...)                                          \
  ::testing::Combine(::testing::Values(Backend::Files, Backend::Server), \
                     ::testing::Values(__VA_ARGS__)),                    \
      [](const auto& caseInfo) {                                         \
        return std::string(std::get<1>(caseInfo.param).name) + "_" +     \
               backendName(std::get<0>(caseInfo.param));                 \
      }

std::string shellQuoted(const std::string& text);
// Standard output of a shell command.
std::string shell(const std::string& command);
